#pragma once
// The two rule files: the shipped default file "a_Rules.dat" (64-byte header: count and
// a 60-byte title, then the rules) and the user's "u_Rules.dat" (count, then the rules).
// Both are read as untrusted bytes: only whole records that are present count.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "firewall_rule.h"

constexpr size_t kRuleRecordBytes = sizeof(FirewallRule);
constexpr size_t kDefaultHeaderBytes = 64;
constexpr size_t kTitleBytes = 60;
constexpr size_t kUserHeaderBytes = 4;
// Files are read into memory; nothing larger is read (more than half a million rules).
constexpr size_t kMaxRuleFileBytes = 64u << 20;

// The default file's title: at most 60 characters, up to the first NUL.
std::string DefaultRuleTitle(const uint8_t* data, size_t size);

// The default file's rules as the rule load takes them: bit 0x40 sets address B to
// 127.0.0.1, leading blanks (spaces, tabs) leave the text, each rule gets the next id
// from `nextId` and state 1.
RuleList LoadDefaultRules(const uint8_t* data, size_t size, int32_t* nextId);

// The user file's rules: a record whose id a rule loaded before it holds replaces that
// rule; any other record gets the next id from `nextId` and is appended.
RuleList LoadUserRules(const uint8_t* data, size_t size, int32_t* nextId);

// The user file's bytes for `rules`.
std::vector<uint8_t> EncodeUserRules(const RuleList& rules);
