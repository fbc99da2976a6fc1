// The saved hotkey from the settings: anything may be refused, nothing may
// crash, and a hotkey that is read writes and reads back equal.
#include "FuzzCheck.h"
#include "shell/SavedHotkey.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::optional<SavedHotkey> hotkey = SavedHotkey::fromJson(fuzzBytes(data, size));
    if (hotkey) {
        const std::optional<SavedHotkey> again = SavedHotkey::fromJson(hotkey->toJson());
        FUZZ_CHECK(again && *again == *hotkey, QString::fromUtf8(hotkey->toJson()));
    }
    return 0;
}
