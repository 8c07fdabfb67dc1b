#pragma once

#include "discovery/drivesearch.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace tessaloom::test {

/// Records what the walk and the search tell the window, in order, and answers
/// as a test tells it to.
class RecordingView : public FoldersSearchView
{
public:
    bool cancelRequested() override { return m_cancel; }
    void letEventsRun() override
    {
        ++yields;
        if (onYield)
            onYield();
    }
    void cacheFolderFound(const std::string& path) override
    {
        found.push_back(path);
        log.push_back("found " + path);
        if (onFound)
            onFound(path);
    }
    void setFoldersLabel(const std::string& text) override { log.push_back("label " + text); }
    ErrorAnswer askAboutError(const WalkError& error) override
    {
        errors.push_back(error);
        return onError ? onError(error) : ErrorAnswer::Ignore;
    }
    void setBusyPointer(bool busy) override { log.push_back(busy ? "busy" : "idle"); }
    void playSound(const std::string& fileName) override { log.push_back("sound " + fileName); }
    void showWindow() override { log.push_back("show"); }
    void clearSuggestions() override { log.push_back("clear"); }
    void setSearchingLabel(const std::string& text) override { log.push_back("searching " + text); }
    void slideOutAndClose() override { log.push_back("slide"); }
    void reloadSuggestedList() override
    {
        log.push_back("reload");
        if (onReload)
            onReload();
    }

    void cancel() { m_cancel = true; }

    /// The progress labels set, in order.
    std::vector<std::string> labels() const
    {
        std::vector<std::string> out;
        for (const std::string& entry : log) {
            if (entry.starts_with("label "))
                out.push_back(entry.substr(6));
        }
        return out;
    }
    std::vector<std::string> sortedFound() const
    {
        std::vector<std::string> out = found;
        std::sort(out.begin(), out.end());
        return out;
    }

    std::vector<std::string> log;
    std::vector<std::string> found;
    std::vector<WalkError> errors;
    int yields = 0;
    std::function<void()> onYield;
    std::function<void(const std::string&)> onFound;
    std::function<ErrorAnswer(const WalkError&)> onError;
    std::function<void()> onReload;

private:
    bool m_cancel = false;
};

} // namespace tessaloom::test
