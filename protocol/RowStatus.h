#pragma once

// Status of a gateway list row; it is also the index of the row's image.
enum class RowStatus : int {
    Discovered = 0,
    UnknownType = 1,
    NoPassword = 2,
    WrongPassword = 3,
    PasswordOk = 4,
    CorruptContent = 5,
};

inline constexpr int RowStatusCount = 6;
