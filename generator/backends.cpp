#include "generator/backends.h"

#include "generator/builtin_backend.h"

namespace brevix::word {

std::unique_ptr<Backend> MakeDefaultBackend() { return std::make_unique<builtin::BuiltinBackend>(); }

} // namespace brevix::word
