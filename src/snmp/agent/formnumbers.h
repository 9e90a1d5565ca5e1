#pragma once

#include <QString>

#include <optional>

// A whole number typed into a row's dialog, spaces around it allowed, from `least` to `most`;
// nullopt for anything else.
std::optional<int> wholeNumber(const QString &text, int least, int most);
