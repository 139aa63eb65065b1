#include "with_compiler.h"

#include "image_frame.h"

int CWithCompiler::Analyse(IVirusCaptorDataProvidor* record) {
    return AskImage(record, reader_, [](const ImageSubject& image) {
        return image.reader.FindCompilerName() != nullptr ? 1 : 0;
    });
}
