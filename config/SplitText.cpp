#include "SplitText.h"

void SplitText(std::string_view text, char separator, std::vector<std::string>& list) {
    list.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            list.emplace_back(text.substr(start));
            return;
        }
        list.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}
