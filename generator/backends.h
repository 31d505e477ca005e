#pragma once
// Choosing the word processor behind the automation interface.

#include "generator/automation.h"

#include <memory>

namespace brevix::word {

// The backend the programs use: the built-in engine.
std::unique_ptr<Backend> MakeDefaultBackend();

} // namespace brevix::word
