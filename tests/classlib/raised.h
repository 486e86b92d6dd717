// What a call raised, as "ClassName: message", for tests that check both.
#pragma once

#include <functional>
#include <string>

#include "system.h"

inline std::string Raised(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.ClassName().str() + ": " + e.Message().str();
  }
  return "(nothing raised)";
}
