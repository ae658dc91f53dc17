#include "platform/window_catalog.h"

#include "finance/assetregister.h"

namespace officerecords {

namespace {

template <typename W>
std::unique_ptr<w_modify> make(session& s) {
    return std::make_unique<W>(s);
}

}  // namespace

const std::vector<window_entry>& window_catalog() {
    static const std::vector<window_entry> entries = {
        {"w_m_og_assetregister", "固定资产登记", "财务与资产", &d_og_assetregister_f,
         &d_og_assetregister, &make<w_m_og_assetregister>},
    };
    return entries;
}

const window_entry* find_window_entry(std::string_view window) {
    for (const auto& e : window_catalog())
        if (iequals(e.window, window)) return &e;
    return nullptr;
}

}  // namespace officerecords
