// Reads arbitrary bytes as a key map, a template list or an auto-correct list (the first
// byte chooses). A read either fails with an error and leaves the object as it was, or gives
// an object that writes itself out and reads back to the same bytes.
#include "editor/KeyMap.h"
#include "editor/Macros.h"
#include "editor/Stream.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

template <class T> void RoundTrip(const uint8_t* data, size_t size) {
    T object;
    kvx::TMemoryStream before;
    object.SaveToStream(before);
    kvx::TFastMemoryStream in(reinterpret_cast<const char*>(data), static_cast<int64_t>(size));
    try {
        object.LoadFromStream(in);
    } catch (const kvx::ESyntaxMemo&) {
        kvx::TMemoryStream after;
        object.SaveToStream(after);
        if (after.Data() != before.Data())
            std::abort(); // a failed read changed the object
        return;
    }
    kvx::TMemoryStream once;
    object.SaveToStream(once);
    once.Seek(0, kvx::TSeekOrigin::Begin);
    T again;
    again.LoadFromStream(once);
    kvx::TMemoryStream twice;
    again.SaveToStream(twice);
    if (twice.Data() != once.Data())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    switch (data[0] % 3) {
    case 0:
        RoundTrip<kvx::TKeyboardActionContoller>(data + 1, size - 1);
        break;
    case 1:
        RoundTrip<kvx::TCodeTemplates>(data + 1, size - 1);
        break;
    default:
        RoundTrip<kvx::TAutoReplace>(data + 1, size - 1);
        break;
    }
    return 0;
}
