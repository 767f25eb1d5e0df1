#pragma once

// The numbers of the texts in the string table (resources/strings.tsv), by
// what they say. The numbers are fixed: the table is keyed by them and some
// are reached by arithmetic on a base (StringBase below), so a name never
// changes its number.
namespace Text {
enum Number : int {
    None = 0, // the empty status line

    SocketsUnavailable = 103,

    // List export.
    ExportTitle = 150,
    ExportSucceeded = 151,
    ExportHeaderLine = 152,
    ExportPasswordLine = 195,
    ExportFailed = 343,

    // Reset of a gateway's IP address.
    MissingMacBytes = 212,
    MissingNewAddress = 213,
    BadMacByte5 = 340,
    BadMacByte6 = 341,
    BadNewAddress = 342,

    // Column headers of the gateway list.
    TypeHeader = 135,
    IpAddressHeader = 136,
    MacAddressHeader = 137,
    ModeHeader = 138,
    PortHeader = 139,
    RemoteIpHeader = 140,
    IpMaskHeader = 141,
    FirmwareHeader = 142,
    SubnetGatewayHeader = 143,
    BaudRateHeader = 185,
    DataBitsHeader = 186,
    StopBitsHeader = 187,
    ParityHeader = 188,
    FlowControlHeader = 189,

    // Status line of the main window.
    WrongMacAddress = 132,
    SendingFailed = 133,
    TransferredSuccessfully = 134,
    SearchingGateways = 144,
    SendingConfiguration = 145,
    MissingGatewayAddress = 147,
    ReadingConfiguration = 148,
    SendingIpAddress = 149,
    SendingOemInfo = 194,
    GatewayPasswordProtected = 199,
    UnknownDeviceType = 200,
    UnknownMacAddress = 201,
    CorruptDeviceContent = 202,
    ModeNotAvailable = 208,
    SendingSubnetInfo = 211,
    PortInUse = 214,

    // Outcome of a write, judged by what the gateway reports afterwards.
    GatewayReportsNewConfiguration = 300,
    GatewayNotFoundAgain = 301,
    GatewayReportsOtherAddress = 302,
    GatewayReportsOtherMode = 303,
    GatewayReportsOtherPort = 304,
    GatewayReportsOtherRemoteAddress = 305,
    GatewayReportsOtherAllowedMask = 306,
    GatewayReportsOtherSerialSettings = 307,
    GatewayReportsOtherSubnetMask = 308,
    GatewayReportsOtherDefaultGateway = 309,
    GatewayReportsOtherType = 317,
    SubnetNotWritten = 318,
    SubnetNotReported = 319,
    IdentityNotSent = 322,

    // Input refused before anything is sent.
    InvalidGatewayAddress = 310,
    InvalidSubnetMask = 311,
    InvalidDefaultGateway = 312,
    InvalidRemoteAddress = 313,
    InvalidAllowedMask = 314,
    InvalidPort = 315,
    ConfigurationNotRead = 316,

    // Passwords with characters the gateways cannot tell apart.
    PasswordOutsideCodePage = 320,
    CommandLinePasswordOutsideCodePage = 321,

    // The record of writes and the check of a new address.
    JournalNotWritable = 330,
    AddressAlreadyUsed = 331,
    CheckingAddress = 332,

    // A scan that could not read every gateway completely.
    FullyReadHeader = 408,
    NotFullyReadNote = 409,

    // The maker's identity, the same in both languages.
    CompanyName = 146,

    // Device type names.
    EibGatewayName = 153,
    EnOceanGatewayName = 154,
    ZoneUnitName = 155,
    KnxGatewayName = 156,
    ScanGatewayName = 157,
    SerialGatewayName = 158,

    // Editor labels and hints.
    AllowedRemoteAddressLabel = 203,
    RemoteConnectionAddressLabel = 205,
    PortDefault10002Hint = 209,
    PortDefaultBothHint = 210,

    // The command line: scan, the writing commands, plans, the journal.
    NoGateway = 380,
    OutsideSubnet = 381,
    StatusHeader = 385,
    AdapterHeader = 386,
    InSubnetHeader = 387,
    ScanYes = 388,
    ScanNo = 389,
    ScanHelp = 396,
    UsageError = 397,
    UnknownCommand = 398,
    NoCommand = 399,
    UnknownOption = 400,
    MissingValue = 401,
    NotAnAddress = 402,
    BadTimeout = 403,
    BadFormat = 404,
    RepeatedOption = 405,
    UnexpectedArgument = 406,
    SocketFailed = 407,
    SetHelp = 420,
    GatewayNotFound = 421,
    WriteLocked = 422,
    WriteCorrupt = 423,
    WriteUnknownType = 424,
    WriteRecordNotRead = 425,
    WriteNetworkNotRead = 426,
    WriteModeRefused = 427,
    WriteListedHolder = 428,
    WriteProbedHolder = 429,
    JournalFailed = 430,
    NothingToWrite = 431,
    WriteConfirmed = 432,
    WriteNotConfirmed = 433,
    WriteNotFoundAgain = 434,
    WriteNotSent = 435,
    PasswordVisible = 436,
    BadMac = 437,
    BadValue = 438,
    PasswordFile = 439,
    ResetSent = 440,
    NoHistory = 441,
    NoSnapshot = 442,
    ReportFieldHeader = 443,
    NeedsChange = 444,
    ResetNotSent = 445,
    BadMacTail = 446,
    WritePasswordNeeded = 447,
    PlanLine = 448,
    PlanNoMacColumn = 449,
    PlanUnknownColumn = 450,
    PlanDuplicateMac = 451,
    GatewayMissing = 452,
    ApplySummary = 453,
    WouldWrite = 454,
    NotInPlan = 455,
    WriteSkipped = 456,
    WritePasswordOutsideCodePage = 457,
    JournalCannotCreateFolder = 458,
    JournalNotARegularFile = 459,
    JournalLockedByAnother = 460,
    PlanTooLarge = 461,
    PlanEmptyPath = 470,
    PlanCell = 471,
    PlanUnreadable = 472,
    PlanControlCharacter = 473,
    PlanColumnTwice = 474,
    PlanSameValue = 475,
    PlanCellsBeyond = 476,
    PlanNotYesOrNo = 477,
    PlanNotOffered = 478,
    JournalIsFolder = 479,
    JournalIsPipe = 480,
    JournalIsDevice = 481,
    JournalIsSocket = 482,
    JournalCannotRead = 483,
    JournalNoPermission = 484,
    JournalReadOnly = 485,
    JournalCannotWriteFolder = 486,
    JournalOthersMayChange = 487,
    JournalDamagedLines = 488,
    PlanNetworkNotRead = 489,
    DamagedSnapshot = 500,
    SharedMacTail = 501,
    SharedMacTailReset = 502,
    WriteStopped = 503,
    ProgressLine = 504,
    PhaseRead = 505,
    PhaseIpSetup = 506,
    PhaseIdentity = 507,
    PhaseNetwork = 508,
    PhaseSetup = 509,
    PhaseLookup = 526,
    PhaseConfirm = 527,
    // Help of the whole command line and of each writing command.
    OvipgwOverview = 510,
    ApplyHelp = 511,
    ResetHelp = 512,
    HistoryHelp = 513,
    RestoreHelp = 514,
    // Addresses no gateway can be given.
    AddressLoopback = 515,
    AddressMulticast = 516,
    AddressThisNetwork = 517,
    AddressLimitedBroadcast = 518,
    AddressSubnetNetwork = 519,
    AddressSubnetBroadcast = 520,
    // The address check on the link.
    ThisComputer = 521,
    WriteOwnAddress = 522,
    AddressNotChecked = 523,
    // The password on the command line.
    PasswordPromptText = 524,
    PasswordFileReadable = 525,
    // History and restore of a gateway in the window.
    HistoryTitle = 540,
    HistoryCommand = 541,
    HistoryNumberHeader = 542,
    HistoryTimeHeader = 543,
    HistoryCommandHeader = 544,
    HistoryChangesHeader = 545,
    HistoryOutcomeHeader = 546,
    HistoryByWindow = 547,
    HistoryByCommandLine = 548,
    RestoreButton = 549,
    CloseButton = 550,
    HistoryListName = 551,
    RestoreExplanation = 552,
    Restoring = 553,
    SelectGatewayFirst = 554,
    HistoryNoChange = 555,
    OutcomeConfirmed = 556,
    OutcomeNotConfirmed = 557,
    OutcomeNotFoundAgain = 558,
    OutcomeNotSent = 559,
    OutcomeRefused = 560,
    OutcomeStopped = 561,
    OutcomeUnknown = 562,
    OutcomeNothingToWrite = 563,
    HistoryNotesName = 564,
    HistoryDetailsName = 565,

    // ovipgw taking the password the window stores.
    StoredPasswordFromKeyring = 570,
    StoredPasswordFromSettings = 571,

    // The fast refresh of the window (the pipelined scan fills the list).
    FastRefreshCommand = 580,
    FastRefreshRunning = 581,
    FastRefreshListed = 582,
    FastRefreshListedOne = 583,
    ListMenuName = 584,
    RefreshMenuName = 585,
    FastRefreshChosen = 586,
};
} // namespace Text

// String bases of the arithmetically indexed texts.
namespace StringBase {
inline constexpr int ModeName = 104;        // + mode index 0-3
inline constexpr int ModeDescription = 114; // + mode index 0-3
inline constexpr int WriteResult = 133;     // + 0 not sent / 1 sent
inline constexpr int CheckMessage = 198;    // + check code 1-4
inline constexpr int WindowTitle = 173;     // + variant index 0-6
inline constexpr int PasswordStatus = 196;  // + protection flag 0/1
inline constexpr int CompanyText = Text::CompanyName;
} // namespace StringBase
