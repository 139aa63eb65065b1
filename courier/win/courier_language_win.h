#pragma once
// The suite's language library as the upload dialog uses it. Texts are looked up by
// their English key in "Courier.lng"; without the library the key itself is the text, so
// a run works without it.
#include <windows.h>

#include <string>

#include "multilanguage.h"
#include "win32/handles.h"

class CourierLanguage {
public:
    // Loads Polyglot.dll from Courier's own folder, else from the suite's modules folder,
    // and takes its MultiLanguage interface. A library without the factory export shows
    // the message box "load Polyglot.dll error" (owned by `owner`) and is let go. True
    // when the interface is there.
    bool Load(HWND owner);
    bool loaded() const { return language_ != nullptr; }

    // The text for `key`; the key itself without the library. Used from the dialog's
    // thread and the worker.
    std::string Text(const char* key) const;

    // Keeps the library loaded for good: used when Courier.dll itself is being unloaded,
    // where freeing another library is not safe.
    void Abandon() { library_.release(); }

private:
    UniqueModule library_;
    MultiLanguage* language_ = nullptr;
};
