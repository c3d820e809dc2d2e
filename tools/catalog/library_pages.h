#pragma once
// The portal page of a library: how many songs, singers and albums it holds, the newest
// additions, and whether a scan is running. GBK, shown in the program's portal tab.
#include "tools/catalog/database.h"

#include <string>

namespace quavrel::catalog {

std::string libraryPortalPage(const LibraryCounts& counts, bool scanning);

// Text for HTML: "&", "<", ">" and quotes as entities.
std::string HtmlEscape(const std::string& text);

}  // namespace quavrel::catalog
