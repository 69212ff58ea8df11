#pragma once
// The files of a book kept on several PCs: each PC's own files, named after
// it, and the copies a sync tool leaves when a file changed on two sides.

#include "ledger/change_journal.h"
#include "ledger/file_store.h"

#include <set>
#include <string>
#include <vector>

// "ZADUD-<PC>.JNL": the PC's change journal (its step file is
// ZADUD-<PC>.SEQ).
std::string pcJournalName(const std::string& pc);
// The PC of a journal's file name; false for any other name.
bool pcOfJournalName(const std::string& name, std::string& pc);

// The journal of a book from before PCs had their own (ZADUD.JNL and
// ZADUD.SEQ) becomes this PC's, once, when this PC has none yet: its bytes
// are written under this PC's names and the old files removed only then, so
// a failure keeps them. Another PC that starts before the sync brought the
// change takes it over too; the merge counts the twin steps once.
void takeOverJournal(FileStore& files, const std::string& dir, const std::string& pc);

// Every other PC's journal in the folder, by name; a book's old journal
// still there is read as the PC "*".
std::vector<ChangeJournal::Peer> peerJournals(FileStore& files, const std::string& dir,
                                              const std::string& ownPc);

// Whether `name` is a sync tool's copy of a file changed on two sides:
// "NAME.sync-conflict-YYYYMMDD-HHMMSS-XXXXXXX.EXT", "NAME (… conflicted copy
// …).EXT", or NAME with a known PC's name added ("NAME-<PC>.EXT",
// "NAME.<PC>.EXT") when NAME.EXT is in `present`. The book's own per-PC
// files are never copies. `original` is the name it is a copy of.
bool conflictCopyOf(const std::string& name, const std::set<std::string>& pcs,
                    const std::set<std::string>& present, std::string& original);

// Moves a file into `folder` (made when missing) under a name not taken
// there; returns the new path. A failed write leaves the file where it was
// and throws the mapped error.
std::string moveAside(FileStore& files, const std::string& path, const std::string& folder);
