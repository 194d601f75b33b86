// What the installation tests share with their Cancel hook library (see
// install_cancel_hook.cpp).
#pragma once

#include <windows.h>

const wchar_t kCancelHookSharedName[] = L"Local\\PelorinTestCancelHook";
const int kCancelHookTextCapacity = 260;
const int kCancelHookTextCount = 32;
// Press Cancel as the progress window is first hidden (for the engine).
const LONG kCancelAtHide = -1;

struct CancelHookShared {
  LONG controlId;   // status control to watch: 103 or 105; kCancelAtHide; 0: only record the texts
  LONG occurrence;  // press Cancel at this text written into it (1 = first)
  LONG seen;        // texts seen so far
  LONG fired;       // 1 once Cancel was pressed
  LONG delayMs;     // press that long after the text, from a thread of the hook's own (0: at once)
  wchar_t text[kCancelHookTextCapacity];  // the text that was being written then
  // Every status text written, in order: its control and the text.
  LONG textCount;
  LONG textControl[kCancelHookTextCount];
  wchar_t texts[kCancelHookTextCount][kCancelHookTextCapacity];
  // With pauseAtHide set, the hook holds the setup as its progress window is
  // first hidden (for the engine, once the package is checked): it sets
  // paused and waits until the test sets resumed (20 s at most).
  LONG pauseAtHide;
  LONG paused;
  LONG resumed;
  // With refusedClass set, RefuseDialogWindows (a hook for every thread)
  // refuses each window of that class ("#32770": dialogs and message boxes)
  // that a program named kRefusedProgram tries to create, after letting the
  // first letThrough of them be. matched counts them, refused the refusals.
  wchar_t refusedClass[64];
  LONG letThrough;
  LONG matched;
  LONG refused;
};

const wchar_t kRefusedProgram[] = L"\\Pelorin.exe";
