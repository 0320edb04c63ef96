// The model run with the control driven through its typed methods.
#include "support/EditorDriver.h"
#include "support/ModelRun.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kvx {
namespace {

class EditorModel : public ::testing::TestWithParam<std::string> {};

TEST_P(EditorModel, RandomEditingFollowsPlainTextModelAndUndoesStepByStep) {
    test::RunEditorModel(GetParam(), [] { return std::make_unique<test::TTypedCallsDriver>(); });
}

INSTANTIATE_TEST_SUITE_P(Seeds, EditorModel, ::testing::ValuesIn(test::ModelRunNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

} // namespace
} // namespace kvx
