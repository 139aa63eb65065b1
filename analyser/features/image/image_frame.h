#pragma once
// The frame every image feature runs in: the subject's content goes through the one
// shared reader, the feature asks its questions, and the reader is reset on every path
// that parsed, so that no feature ever sees the header values of another's image.
#include "data_provider.h"
#include "pe_helper_interface.h"

// What a feature's question sees of the parsed subject.
struct ImageSubject {
    IPEHelper& reader;
    const unsigned char* content;
    int size;   // the record's size; Parse has seen the same value
    bool isPE;  // Parse answered 1
};

// 0 without content (the reader is not touched); otherwise ask(subject) with `reader`
// holding the parsed content, then Reset.
template <typename Ask>
int AskImage(IVirusCaptorDataProvidor* record, IPEHelper& reader, Ask&& ask) {
    const int size = record->GetFileSize();
    const unsigned char* content = record->GetContent(0, size);
    if (content == nullptr) return 0;
    const bool isPE = reader.Parse(content, size) == 1;
    const int result = ask(ImageSubject{reader, content, size, isPE});
    reader.Reset();
    return result;
}
