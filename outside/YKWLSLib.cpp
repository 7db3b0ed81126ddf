#include "outside/YKWLSLib.h"

void TWlsItem::FillMissing() {
    for (int i = 0; i < WlsFieldCount; ++i) {
        if (Fields[static_cast<size_t>(i)].empty()) Fields[static_cast<size_t>(i)] = WlsTags[static_cast<size_t>(i)];
    }
}

TWlsItem NewWlsItem(const std::string& address) {
    TWlsItem item;
    item[wfName] = std::string(WlsTags[wfName]) + address;
    item[wfURL] = std::string(WlsTags[wfURL]) + address;
    item[wfOption] = WlsTags[wfOption];
    item[wfTime] = std::string(WlsTags[wfTime]) + "no date";
    item[wfSize] = std::string(WlsTags[wfSize]) + "no size";
    item[wfComment] = WlsTags[wfComment];
    return item;
}

int WlsFieldOfLine(std::string_view line) {
    for (int i = 0; i < WlsFieldCount; ++i) {
        if (line.starts_with(WlsTags[static_cast<size_t>(i)])) return i;
    }
    return -1;
}

std::vector<TWlsItem> ReadWlsItems(std::string_view bytes) {
    std::vector<TWlsItem> items;
    TWlsItem current;
    bool started = false;
    auto finish = [&] {
        if (!started) return;
        current.FillMissing();
        items.push_back(std::move(current));
        current = TWlsItem();
        started = false;
    };

    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(pos, end - pos);
        pos = end + (bytes.substr(end, 2) == "\r\n" ? 2 : 1);
        if (line.empty()) continue;

        int field = WlsFieldOfLine(line);
        std::string text;
        if (field < 0) {
            field = wfName;
            text = WlsTags[wfName];
        }
        text += line;
        auto& slot = current.Fields[static_cast<size_t>(field)];
        if (!slot.empty()) finish();
        current.Fields[static_cast<size_t>(field)] = std::move(text);
        started = true;
    }
    finish();
    return items;
}

std::string WlsFieldText(std::string text) {
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
    return text;
}

void AppendWlsItem(std::string& out, const TWlsItem& item) {
    for (const std::string& field : item.Fields) {
        for (char c : field)
            if (c != '\r' && c != '\n') out += c;
        out += "\r\n";
    }
}

std::string WriteWlsItems(const std::vector<TWlsItem>& items) {
    std::string out;
    for (const TWlsItem& item : items) AppendWlsItem(out, item);
    return out;
}
