// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/form_registry.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/text.h"

namespace {
std::vector<std::pair<const void*, std::string>> g_forms;  // in creation order
}  // namespace

void RegisterForm(const void* form, const std::string& className) { g_forms.emplace_back(form, className); }

void UnregisterForm(const void* form) {
    std::erase_if(g_forms, [form](const auto& f) { return f.first == form; });
}

bool FormClassExists(const std::string& className) {
    return std::any_of(g_forms.begin(), g_forms.end(),
                       [&](const auto& f) { return text::SameName(f.second, className); });
}
