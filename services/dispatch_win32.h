#pragma once
#include <windows.h>

// Handles one message taken from the queue as the main loop does: pre-translation first,
// then TranslateMessage and DispatchMessageA.
void DispatchOneMessage(MSG* msg);
