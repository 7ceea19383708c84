// The node-path helpers that XMLDocument builds paths with: splitting a path
// into steps, and reading the attributes that a step's predicate asks for.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/hresult.h"
#include "platform/xml_dom.h"

namespace kalinor {

/// Splits a node path at "/" into step names and predicate strings of equal
/// length: a leading "/" or "//" and empty steps are dropped; a predicate is
/// the tail of its step from the first "[@" ("" when there is none); a step
/// whose name is empty is dropped with its predicate. Never fails.
void SplitNodePath(const std::wstring& nodePath, std::vector<std::wstring>& stepNames,
                   std::vector<std::wstring>& predicates);

/// The name and value pairs that a predicate string such as [@id="A1"] sets,
/// in order: per "[...]" group, the text between its first two and last two
/// characters, split at the first "="; the name trimmed, the value starting
/// two characters after the "=" and not trimmed. Groups without "=" or with an
/// empty name give nothing. Never fails.
std::vector<std::pair<std::wstring, std::wstring>> PredicateAttributes(
    const std::wstring& predicate);

/// Sets each attribute of PredicateAttributes(predicate) on the element.
/// S_OK; a DOM failure raises _com_error (attributes set before it stay).
HRESULT SetPredicateAttributes(const platform::DomNodeRef& element, const std::wstring& predicate);

}  // namespace kalinor
