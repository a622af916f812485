// Helpers of the wash tests: boxes shown by the routines, settings, the tray identity.
#pragma once

#include <string>
#include <vector>

void UseTrayIdentity();
// The tray identity, no wash settings, no stop asked, the counts at zero.
void StartWashTest();
// Runs fn on a worker thread; answers every message box of this process with OK and
// returns their texts in order. Bounded by timeoutMs.
std::vector<std::string> BoxesDuring(void (*fn)(void*), void* arg, unsigned timeoutMs = 20000);
void SetSetting(const char* name, int value);
void ClearWashSettings();
