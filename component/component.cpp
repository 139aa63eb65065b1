#include "component.h"

#include <cstring>

const char* AnswerComponentName(const char* name, char* buffer, int size) {
    if (buffer != nullptr && size > 0) std::strncpy(buffer, name, static_cast<size_t>(size));
    return name;
}

bool ComponentNameEquals(const char* asked, const char* name) {
    return asked != nullptr && std::strcmp(asked, name) == 0;
}
