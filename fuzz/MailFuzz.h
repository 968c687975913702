#pragma once
// What the mail checks' fuzz targets share: the input cut into a server's reads at every 0xFF
// byte, and a view that shows nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mail/PopCheck.h"

inline std::vector<std::string> serverReads(const std::uint8_t* data, size_t size) {
    std::vector<std::string> reads(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF) {
            reads.emplace_back();
        } else {
            reads.back() += static_cast<char>(data[i]);
        }
    }
    return reads;
}

class NullView : public mail::MailView {
public:
    void setLastModified(const std::string&) override {}
    void setReceived(int, const std::string&) override {}
    void playNotify(const std::string&) override {}
    std::string now() override { return "2026/12/08"; }
};
