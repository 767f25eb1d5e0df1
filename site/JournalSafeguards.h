#pragma once

#include "WriteEngine.h"

class WriteJournal;

// The write engine's journal hooks on `journal`: a snapshot line before
// anything is sent (its failure, said with the text `failedText` (%1 the
// journal, %2 why), stops the run) and an outcome line after, both with the
// command that wrote ("set", "apply", "window", ...). `journal` must outlive
// the engine's run.
void UseJournal(WriteEngine::Safeguards *safeguards, WriteJournal &journal, const QString &command, int failedText);
