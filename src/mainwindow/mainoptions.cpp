#include "mainwindow/mainoptions.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace tessaloom {

void OptionBoxClicked(OptionBoxes& boxes, OptionBox box)
{
    switch (box) {
    case OptionBox::ExcludeImages:
        if (boxes.excludeImages)
            boxes.includeOnlyImages = false;
        break;
    case OptionBox::IncludeOnlyImages:
        if (boxes.includeOnlyImages) {
            boxes.excludeImages = false;
            boxes.excludeBinaryFiles = true;
        }
        break;
    case OptionBox::ExcludeBinaryFiles:
    case OptionBox::LaunchBrowser:
    case OptionBox::LaunchViewDeleteWizard:
        break;
    }
}

void TickOptionBox(OptionBoxes& boxes, OptionBox box)
{
    switch (box) {
    case OptionBox::ExcludeImages:
        boxes.excludeImages = true;
        break;
    case OptionBox::IncludeOnlyImages:
        boxes.includeOnlyImages = true;
        break;
    case OptionBox::ExcludeBinaryFiles:
        boxes.excludeBinaryFiles = true;
        break;
    case OptionBox::LaunchBrowser:
        boxes.launchBrowser = true;
        break;
    case OptionBox::LaunchViewDeleteWizard:
        boxes.launchViewDeleteWizard = true;
        break;
    }
    OptionBoxClicked(boxes, box);
}

OptionBoxes StartupOptionBoxes(const Settings& settings, OptionBoxes design)
{
    OptionBoxes flags;
    flags.excludeImages = settings.excludeImages;
    flags.includeOnlyImages = settings.includeOnlyImages;
    flags.excludeBinaryFiles = settings.excludeBinaryFiles;
    flags.launchBrowser = settings.launchBrowser;
    flags.launchViewDeleteWizard = settings.launchViewDeleteWizard;
    return TickInStartupOrder(flags, design);
}

OptionBoxes TickInStartupOrder(const OptionBoxes& flags, OptionBoxes design)
{
    const std::pair<bool, OptionBox> sequence[] = {
        {flags.excludeImages, OptionBox::ExcludeImages},
        {flags.includeOnlyImages, OptionBox::IncludeOnlyImages},
        {flags.excludeBinaryFiles, OptionBox::ExcludeBinaryFiles},
        {flags.launchBrowser, OptionBox::LaunchBrowser},
        {flags.launchViewDeleteWizard, OptionBox::LaunchViewDeleteWizard},
    };
    for (const auto& [on, box] : sequence) {
        if (on)
            TickOptionBox(design, box);
    }
    return design;
}

IndexOptions FilterOptionsOf(const OptionBoxes& boxes)
{
    IndexOptions options;
    options.excludeImages = boxes.excludeImages;
    options.includeOnlyImages = boxes.includeOnlyImages;
    options.excludeBinaryFiles = boxes.excludeBinaryFiles;
    return options;
}

bool IsMinCountKeyAccepted(char32_t key)
{
    return (key >= U'0' && key <= U'9') || key == U'.' || key == 8;
}

double LeadingNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        number += text[i++];
    bool digits = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        number += text[i++];
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            number += text[i++];
            digits = true;
        }
    }
    if (!digits)
        return 0;
    // strtod, not a locale-aware stream: the box always uses "." as its point.
    const double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value) ? value : 0;
}

std::optional<std::int32_t> MinCountAfterLeaving(std::string_view text, std::int32_t currentMinimum)
{
    const double value = LeadingNumber(text);
    if (value == static_cast<double>(currentMinimum))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // the default mode rounds halves to even
    if (rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

} // namespace tessaloom
