// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/form_registry.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

namespace {
std::vector<std::pair<const void*, std::string>> g_forms;  // in creation order

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}
}  // namespace

void RegisterForm(const void* form, const std::string& className) { g_forms.emplace_back(form, className); }

void UnregisterForm(const void* form) {
    std::erase_if(g_forms, [form](const auto& f) { return f.first == form; });
}

bool FormClassExists(const std::string& className) {
    return std::any_of(g_forms.begin(), g_forms.end(), [&](const auto& f) { return SameName(f.second, className); });
}
