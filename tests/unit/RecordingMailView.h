#pragma once
// What a mail check showed and played, for the POP3 and IMAP check tests.
#include <string>
#include <vector>

#include "mail/PopCheck.h"

class RecordingMailView : public mail::MailView {
public:
    std::string modified, received;
    int count = -1;
    std::vector<std::string> played;
    void setLastModified(const std::string& c) override { modified = c; }
    void setReceived(int n, const std::string& c) override {
        count = n;
        received = c;
    }
    void playNotify(const std::string& f) override { played.push_back(f); }
    std::string now() override { return "2026/12/08 9:00:00"; }
};
