#include "app/help_texts.h"

#include <cmath>
#include <cstdio>
#include <string_view>
#include <utility>

namespace tidemark {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kFilesPlaceholder = "NUM_FILES_PROCESSED";
constexpr std::string_view kDonationPlaceholder = "DONATION_RECOMMENDATION";

constexpr std::string_view kTopics[] = {
    // Named configurations
    "Configurations: every setting of the main window can be saved under a name with the Save "
    "button and brought back at any time by picking that name from the Configuration "
    "drop-down list. This is handy when you keep several pairs of drives or folders in step.",
    // Safe Mode
    "Safe Mode: nothing in the destination is ever changed or deleted. Only files that are "
    "missing from the destination are copied there, even when the source file is newer than "
    "the one already in the destination.",
    // Normal
    "Normal: files missing from the destination are copied there, and a file whose "
    "last-modified date in the source is newer than in the destination is copied over the "
    "destination file. Where the destination keeps dates less finely (to two seconds on FAT "
    "drives, to the second on many network drives), dates are compared only as finely as the "
    "destination keeps them, so a file that was copied once is not copied again.",
    // Backup
    "Backup: every file is copied or overwritten without comparing dates, so a destination "
    "file that is newer than its source can be lost. This style is meant for backing up a "
    "whole drive or folder tree to an external drive or other device.",
    // Locations
    "Locations: the Source and the Destination can be any folder, including the top folder "
    "of a mounted drive. To synchronize with a network share, mount it first (for example "
    "from your file manager or in /etc/fstab) and use the mounted folder; a network address "
    "such as smb://server/share cannot be typed in directly.",
    // Exclude list
    "Exclude List: the [exclude list] is an optional list of text strings, one per line, "
    "that you edit through the Edit Exclude List link. While Use the Exclude List is on, "
    "every file and folder is checked against the strings as it is processed, and any whose "
    "path contains one of them (capital and small letters alike) is left out. Use precise "
    "names and paths so that items with merely similar names are not excluded as well.",
    // Hidden and system files
    "Hidden and System Files: a hidden file is one whose name starts with a dot (\".\"), and "
    "a system file is a special file such as a named pipe, a socket or a device file, which "
    "is never copied. With Ignore Hidden Files or Ignore System Files on, such files are "
    "skipped completely; folders whose names start with a dot are still searched. Their "
    "names are listed in the results when Show all Files/Folders Ignored is on.",
    // Auto Reverse Synchronize
    "Auto Reverse Synchronize: after the run, the same two locations are synchronized once "
    "more with the Destination and the Source exchanged, so that files that are new in the "
    "destination reach the source too.",
    // Preview Only Mode
    "Preview Only Mode: the whole process runs and the results list shows what would "
    "happen, but nothing is copied, updated or deleted.",
    // Pause and Stop
    "Pause and Stop: Pause holds the run until you press Continue to go on or Stop to end "
    "it. Stop ends the run straight away, once the file in hand is finished; to finish the "
    "synchronization the run must be started over.",
    // Time remaining
    "Time Remaining: the estimate shown during a run (in seconds) is the average time taken "
    "per file so far multiplied by the number of files still to go. It is only meant as a "
    "general guide.",
};

constexpr std::string_view kDonationSupported =
    "Tidemark is entirely supported by donations. Individual users may use all of it, with no "
    "limit on the number of files and no function held back. Businesses that use Tidemark are "
    "asked to contact Kestrelwick about an unlimited usage contract.";
constexpr std::string_view kDonationAsk =
    "If you like Tidemark or use it often, please consider a small donation based on how much "
    "you use it.";
constexpr std::string_view kSuggestion =
    "Our suggested donation is a penny for every 1,000 files processed.  Here is your usage "
    "info (to date):";
constexpr std::string_view kFilesLine = "Total Files Processed: NUM_FILES_PROCESSED files.";
constexpr std::string_view kDonationLine = "Suggested Donation: DONATION_RECOMMENDATION.";
constexpr std::string_view kDonationThanks =
    "Once every 30 days, when you close Tidemark, the donation page opens in your web browser. "
    "If you have already donated $20 or more, you are not expected to donate again. Thank you "
    "in advance for your support!";

void ReplaceAll(std::string& text, std::string_view what, const std::string& by) {
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + by.size())) {
        text.replace(at, what.size(), by);
    }
}

// The digits of a whole, non-negative number with the separator between groups of three.
std::string GroupedDigits(double whole, const std::string& separator) {
    char digits[400];  // enough for the largest finite double
    std::snprintf(digits, sizeof digits, "%.0f", whole);
    const std::string_view plain(digits);
    std::string grouped;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (i > 0 && (plain.size() - i) % 3 == 0) {
            grouped += separator;
        }
        grouped += plain[i];
    }
    return grouped;
}

}  // namespace

std::string HelpIntroText() {
    return "Tidemark is a complete file and folder synchronization software application that "
           "can be used to quickly and easily get the latest files from the source location "
           "copied to the destination location, without going through a timely file backup "
           "process.";
}

HelpTexts BuildHelpTexts() {
    HelpTexts texts;
    texts.intro = HelpIntroText();
    for (std::string_view topic : kTopics) {
        texts.topics.append(topic).append(kCrLf).append(kCrLf);
    }
    std::string& donation = texts.donation;
    donation.append(kDonationSupported).append(kCrLf).append(kCrLf);
    donation.append(kDonationAsk).append(kCrLf).append(kCrLf);
    donation.append(kSuggestion).append(kCrLf).append(kCrLf);
    donation.append(kFilesLine).append(kCrLf);
    donation.append(kDonationLine).append(kCrLf).append(kCrLf);
    donation.append(kDonationThanks);
    return texts;
}

std::string FormatFileCount(double files, const LocaleNumberFormat& format) {
    if (!std::isfinite(files)) {
        files = 0;
    }
    const double whole = std::round(files);  // halves away from zero
    const std::string digits = GroupedDigits(std::fabs(whole), format.GroupSeparator());
    return whole < 0 ? "-" + digits : digits;
}

std::string FormatSuggestedDonation(double files, const LocaleNumberFormat& format) {
    if (!std::isfinite(files)) {
        files = 0;
    }
    // A cent for every 1,000 files. Dividing the file count by 1000 keeps a half cent exact for
    // whole file counts, so it rounds away from zero as it should.
    const double cents = std::fabs(std::round(files / 1000.0));
    const double dollars = std::floor(cents / 100.0);
    const int remainder = static_cast<int>(cents - dollars * 100.0);
    char two_digits[3];
    std::snprintf(two_digits, sizeof two_digits, "%02d", remainder);
    const std::string sign = files < 0 && cents > 0 ? "-" : "";
    return sign + "$" + GroupedDigits(dollars, format.GroupSeparator()) +
           format.DecimalSeparator() + two_digits;
}

std::string ComposeHelpText(const HelpTexts& texts, double usage_counter,
                            const LocaleNumberFormat& format) {
    std::string donation = texts.donation;
    ReplaceAll(donation, kFilesPlaceholder, FormatFileCount(usage_counter, format));
    ReplaceAll(donation, kDonationPlaceholder, FormatSuggestedDonation(usage_counter, format));
    std::string text = std::move(donation);
    text.append(kCrLf).append(kCrLf).append(kHelpBanner).append(kCrLf).append(kCrLf);
    text.append(texts.intro).append(kCrLf).append(kCrLf).append(texts.topics);
    return text;
}

}  // namespace tidemark
