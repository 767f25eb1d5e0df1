#pragma once

#include "WriteEngine.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// What the writing commands show while a run goes on: each row as soon as
// its result is known (a table line or one JSON line), and on a terminal a
// progress line on standard error (phase, gateways done of all, seconds left
// in the current wait). The program prints straight to its standard output;
// without that (the tests) rows are collected in the output buffer in the
// same order.
class LiveOutput : public QObject
{
    Q_OBJECT

public:
    enum class Rows { AtTheEnd, Table, JsonLines };

    // Called once by the program: print as the run goes on.
    static void enable();

    LiveOutput(Rows rows, int gateways, QByteArray *out);
    ~LiveOutput() override;

    // Shows what `engine` reports. Rows for which `hold` answers true are
    // kept back until printHeld() (a row that may yet run again).
    void attach(WriteEngine &engine, std::function<bool(const WriteReport &)> hold = {});
    void dropHeld() { m_held.clear(); }
    void printHeld();

    // Whether the rows were printed already (the caller adds only the rest).
    bool printedRows() const { return m_rows != Rows::AtTheEnd; }

    // Ctrl-C (and a termination request) ends the run cleanly while an
    // object of this class lives; a second one ends the program at once.
    static bool stopRequested();

private:
    void print(const QByteArray &text);
    void printRow(const WriteReport &report);
    void showProgress();

    QList<WriteReport> m_held;
    void (*m_previousInterrupt)(int) = nullptr;
    void (*m_previousTerminate)(int) = nullptr;

    Rows m_rows;
    QByteArray *m_out;
    int m_gateways = 0;
    int m_done = 0;
    QString m_phase;
    QElapsedTimer m_phaseClock;
    int m_phaseMs = 0;
    QTimer m_ticker;
    bool m_progress = false;
};
