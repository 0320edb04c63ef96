// The change-notification scope of the control, shared by the files that make up the
// control: every public way in that can change something opens one, and the notification
// runs once, when the outermost of them ends.
#pragma once

#include "SyntaxEd.h"

namespace kvx {

class TCustomSyntaxMemo::TNotifyScope {
  public:
    explicit TNotifyScope(TCustomSyntaxMemo& m) : m_(m) { ++m_.commandDepth_; }
    ~TNotifyScope() {
        if (--m_.commandDepth_ > 0)
            return;
        try {
            m_.ChangeNotification();
        } catch (...) {
            // A failing OnChange handler must not turn an unwinding command into a crash.
        }
    }
    TNotifyScope(const TNotifyScope&) = delete;
    TNotifyScope& operator=(const TNotifyScope&) = delete;

  private:
    TCustomSyntaxMemo& m_;
};

} // namespace kvx
