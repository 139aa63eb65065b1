#pragma once
// Calls a host check with a buffer of `length` bytes that has guard bytes behind it,
// and checks what every answer must keep to: the text is terminated inside the
// buffer, zeros fill the rest of it and the guard stands.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

template <class Check>
std::pair<int, std::string> CheckGuarded(int length, Check check) {
    constexpr char kGuard = 0x5A;
    std::vector<char> buffer(static_cast<size_t>(length) + 8, kGuard);
    const int result = check(buffer.data(), length);
    const auto end = buffer.begin() + length;
    EXPECT_TRUE(std::all_of(end, buffer.end(), [](char c) { return c == kGuard; }));
    if (length == 0) return {result, "<nothing written>"};
    const auto text = std::find(buffer.begin(), end, '\0');
    EXPECT_NE(text, end) << "not terminated";
    EXPECT_TRUE(std::all_of(text, end, [](char c) { return c == 0; }));
    return {result, std::string(buffer.begin(), text)};
}
