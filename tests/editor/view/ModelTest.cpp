// The model run through the widget's key events: every character typed and every command run
// is a key press that goes through the key translation, the key map and typing.
#include "KeyEventDriver.h"
#include "support/ModelRun.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kvx {
namespace {

class WidgetModel : public ::testing::TestWithParam<std::string> {};

TEST_P(WidgetModel, RandomEditingByKeysFollowsPlainTextModel) {
    test::RunEditorModel(GetParam(), [] { return std::make_unique<test::TKeyEventDriver>(); });
}

INSTANTIATE_TEST_SUITE_P(Seeds, WidgetModel, ::testing::ValuesIn(test::ModelRunNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

} // namespace
} // namespace kvx
