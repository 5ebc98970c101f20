#pragma once

class QDialog;

namespace kestrum {

// Modal dialogs that a ringing alarm can reach past. execReleasable() runs a
// dialog as QDialog::exec() does: shown application-modal, returning its
// result when it is closed. When the alarm fires, releaseModalDialogs() makes
// every dialog run that way stop blocking the other windows (each stays open
// where it is, and its caller still waits for it), so that Snooze on the
// main window, the icon's menu and the keyboard all reach the alarm.
int execReleasable(QDialog &dialog);
void releaseModalDialogs();

// How many dialogs execReleasable() runs at the moment (nested ones count).
int runningModalDialogs();

} // namespace kestrum
