// Phases of a benchmark that run in a process of their own, so that each
// phase's peak memory is its own and not one carried from an earlier phase.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

// The most memory this process has held so far. The working set's peak: under
// Wine the "peak" page-file figure is only the present one.
inline size_t PeakMemory() {
  PROCESS_MEMORY_COUNTERS c{};
  c.cb = sizeof c;
  GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
  return c.PeakWorkingSetSize;
}

// Runs this program again as "<program> --phase <phase> <arguments>" and waits
// for it; its output goes where ours goes. The phase's exit code is its
// verdict. arguments are ANSI text (a folder, a count).
inline int RunPhase(const char* phase, const std::string& arguments) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::string tail = std::string(" --phase ") + phase + " " + arguments;
  std::wstring command = L"\"" + std::wstring(self) + L"\"";
  const int length = MultiByteToWideChar(CP_ACP, 0, tail.c_str(), static_cast<int>(tail.size()), nullptr, 0);
  std::wstring wideTail(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, tail.c_str(), static_cast<int>(tail.size()), wideTail.data(), length);
  command += wideTail;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    std::printf("  the %s phase did not start (error %lu)\n", phase, GetLastError());
    return 1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (code != 0) std::printf("  the %s phase ended with exit code %lu\n", phase, code);
  return static_cast<int>(code);
}
