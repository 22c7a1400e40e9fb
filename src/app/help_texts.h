#pragma once

#include <string>

namespace tidemark {

/// The characters the user's locale writes numbers with.
class LocaleNumberFormat {
  public:
    virtual ~LocaleNumberFormat() = default;
    /// The thousands separator ("," in English locales). May be empty or several UTF-8 bytes.
    virtual std::string GroupSeparator() const = 0;
    /// The decimal separator ("." in English locales).
    virtual std::string DecimalSeparator() const = 0;
};

/// The three blocks the Help window is made of, composed once at start-up.
struct HelpTexts {
    /// The one-sentence description of the program, also shown by the About window.
    std::string intro;
    /// The eleven topic paragraphs, each followed by an empty line.
    std::string topics;
    /// The donation section, still holding "NUM_FILES_PROCESSED" and "DONATION_RECOMMENDATION".
    std::string donation;
};

/// The line between the donation section and the help proper.
inline constexpr const char* kHelpBanner =
    "------------------------------ Tidemark HELP ------------------------------";

/// The description of the program that opens the help and the About window.
std::string HelpIntroText();

/// Composes the intro, the topics and the donation section. Lines end with CR LF.
HelpTexts BuildHelpTexts();

/// The usage counter as a whole number of files with thousands grouping: 1234567 gives
/// "1,234,567" in English locales. Halves round away from zero.
std::string FormatFileCount(double files, const LocaleNumberFormat& format);

/// The suggested donation for that many files (a cent for every 1,000), as a dollar amount with
/// thousands grouping and exactly two decimals: 1234567 gives "$12.35" in English locales.
/// Halves of a cent round away from zero.
std::string FormatSuggestedDonation(double files, const LocaleNumberFormat& format);

/// The whole text of the Help window for the given usage counter: the donation section with
/// its figures filled in, an empty line, the banner, an empty line, the intro, an empty line,
/// and the topics.
std::string ComposeHelpText(const HelpTexts& texts, double usage_counter,
                            const LocaleNumberFormat& format);

}  // namespace tidemark
