/** @file recovery.h
 * Unsaved work that survives a crash: while the five texts differ from what was last saved,
 * opened or started with, a private copy of them and of the current name is kept in the user's
 * state folder, one file per running instance held with a lock, written by a thread of its own;
 * at start-up the copies of instances that are gone are offered back. */
#pragma once

#include <string>

// Finds or makes the state folder and takes this instance's lock. false when that cannot be
// done: recovery then stays off, and the editor works as before, without copies; only the texts
// as last saved, opened or started with are still known, for the question at Exit.
bool recovery_start();

// Offers the copies whose instance no longer runs, newest first, each with "Confirm" and
// "Recover the unsaved extension from <date and time>?", holding one copy's lock at a time.
// No deletes the copy. Yes fills the five fields, the current name and the file they came from,
// and the copy becomes this instance's own (so the recovered work is never without one); the
// older copies then wait for the next start, since a second Yes would replace the work just
// recovered. A copy that cannot be read whole is never deleted: an "Error" message names it
// and the reason, and the next copy is offered. Links and copies this user may not read are
// left alone.
void recovery_offer();

// After Yes to the Exit question: true when nothing unsaved would be lost, because the texts are
// what was last saved, opened or started with or their copy for the next start is written now
// (and waited for). false, with the reason (a path and the system's word), when the copy of
// exactly these texts cannot be had; the texts and the copy are then as they were.
bool recovery_keep_for_exit(std::u16string* reason);

// The confirmed end. Texts that differ from what was last saved, opened or started with keep
// their copy for the next start, which offers it (written now when it is behind); otherwise the
// copy goes. The lock goes, and the writer finishes.
void recovery_end();

// A change of a text: a field's EN_CHANGE, or an insertion or removal in the code editor.
void recovery_note_change();

// After a successful Save, a New or an Open: the texts as they stand become the reference the
// copy is compared with, and the copy goes.
void recovery_texts_settled();

// How long the event loop may wait before recovery_tick has something to do (milliseconds);
// -1 while recovery is off.
int recovery_wait_time();
// Takes the copy once it is due: a few seconds after typing pauses, at most a few seconds
// after the first change it lacks, and never sooner than a few seconds after the last copy.
// The texts are read here, cheaply; the writer thread compares and writes.
void recovery_tick();

// The timing of the copies, in milliseconds.
struct RecoveryTiming {
    int pause;     // quiet time after the last change
    int longest;   // the longest a change waits for its copy while typing goes on
    int interval;  // the shortest time between two copies
};
RecoveryTiming recovery_timing();
void recovery_set_timing(const RecoveryTiming& timing);

// Figures of the copies taken since start-up: how many, the longest time the main thread spent
// reading the texts for one (on the clock, and its own CPU time), and the longest time the writer
// spent writing one.
struct RecoveryFigures {
    int copies;
    double longest_read_ms;
    double longest_read_cpu_ms;
    double longest_write_ms;
};
RecoveryFigures recovery_figures();
