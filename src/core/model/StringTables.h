#pragma once

#include "../platform/Localizer.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

// The shipped string tables, each a JSON object mapping an English key to its text.
class StringTables {
public:
    // Adds one language's table; returns an error text (empty on success). A later table of the
    // same language replaces the earlier one.
    std::string add(std::string_view language, std::string_view json);

    std::vector<std::string> languages() const { return order_; }
    const std::map<std::string, std::string, std::less<>>* table(std::string_view language) const;

private:
    std::vector<std::string> order_;
    std::map<std::string, std::map<std::string, std::string, std::less<>>, std::less<>> tables_;
};

// The Localizer of every platform that ships these tables.
class TableLocalizer final : public Localizer {
public:
    TableLocalizer(std::shared_ptr<const StringTables> tables, std::string language);

    std::string language() const override { return language_; }
    std::string localized(std::string_view key) const override;
    std::vector<std::string> languages() const override { return tables_->languages(); }
    std::optional<std::string> lookup(std::string_view key,
                                      std::string_view language) const override;

private:
    std::shared_ptr<const StringTables> tables_;
    std::string language_;
};

// Fills a format key's placeholders in order: "%@" (text) and "%lld" (integer, already turned
// into text by the caller), and the positional forms "%1$@" and "%2$lld" that translations use
// to reorder them. "%%" is a literal percent sign.
std::string formatString(std::string_view pattern, const std::vector<std::string>& arguments);
std::string localizedFormat(const Localizer& localizer, std::string_view key,
                            const std::vector<std::string>& arguments);

} // namespace tessera
