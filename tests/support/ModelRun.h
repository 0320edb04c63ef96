// The randomised model test of the editor control, to be run through any driver: long
// seeded sequences of typing, editing commands, clipboard operations, block indent and
// selection changes, checked after every step against a plain byte string edited by simple
// rules of its own, then undone and redone step by step.
#pragma once

#include "EditorDriver.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kvx::test {

// The standard runs, by name.
std::vector<std::string> ModelRunNames();

// Runs the named run with a driver made for it and reports failures to GoogleTest.
// KVX_MODEL_SEED=<n> and KVX_MODEL_OPS=<n> rerun it with another seed or length, which is how
// a failure is narrowed down.
void RunEditorModel(const std::string& name,
                    const std::function<std::unique_ptr<TEditorDriver>()>& makeDriver);

} // namespace kvx::test
