#pragma once

// The site catalogue's layout, shared by its reader, the catalogue tool, the demo and the tests. Texts are stored
// as base64 of UTF-8; the site and node keys as BLOBs, since lookups bind BLOBs.
namespace CatalogSchema {

// A node's ten markers, in their column (and rule list) order.
enum Marker { TableBegin, TableEnd, RowBegin, RowEnd, UrlBegin, UrlEnd, TitleBegin, TitleEnd, PriceBegin, PriceEnd };
inline constexpr int markerCount = 10;

inline constexpr const char *markerColumns[markerCount] = {"table_begin", "table_end", "row_begin",   "row_end",
                                                           "url_begin",   "url_end",   "title_begin", "title_end",
                                                           "price_begin", "price_end"};

// The marker pairs by what they cut (begin and end), as catalogue authors name them.
inline constexpr const char *markerPairs[markerCount / 2] = {"table", "row", "url", "title", "price"};

// tb_site's columns in table order, and its text columns (every one but the two images).
enum SiteColumn { SiteName, SiteUrl, SiteRegisterUrl, SiteFavicon, SiteLogo, SiteInfo, OpenUrlPrefix, OpenUrlSuffix };
inline constexpr const char *siteColumns[] = {"site_name", "site_url",  "site_register_url", "site_favicon",
                                              "site_logo", "site_info", "open_url_prefix",   "open_url_suffix"};

inline constexpr char siteColumnList[] = "site_name, site_url, site_register_url, site_favicon, site_logo, site_info, "
                                         "open_url_prefix, open_url_suffix";

// tb_node's columns: the keys, the page address, then the markers.
inline constexpr const char *nodeKeyColumns[] = {"site_name", "node_name", "node_url"};

inline constexpr char createSiteTable[] =
    "CREATE TABLE tb_site(site_name BLOB, site_url TEXT, site_register_url TEXT, site_favicon BLOB, site_logo BLOB, "
    "site_info TEXT, open_url_prefix TEXT, open_url_suffix TEXT);";
inline constexpr char createNodeTable[] =
    "CREATE TABLE tb_node(site_name BLOB, node_name BLOB, node_url TEXT, table_begin TEXT, table_end TEXT, "
    "row_begin TEXT, row_end TEXT, url_begin TEXT, url_end TEXT, title_begin TEXT, title_end TEXT, price_begin TEXT, "
    "price_end TEXT);";

// Nodes that are not marker pages, by key: a table of its own, which catalogues without such nodes do not have, so
// that the two tables above stay as every catalogue has them. kind is "feed".
inline constexpr char nodeKindTable[] = "tb_node_kind";
inline constexpr char createNodeKindTable[] = "CREATE TABLE tb_node_kind(site_name BLOB, node_name BLOB, kind TEXT);";
inline constexpr char feedKind[] = "feed";

// "node_url, table_begin, …, price_end": the columns a node's rule is read from.
inline constexpr char ruleColumns[] = "node_url, table_begin, table_end, row_begin, row_end, url_begin, url_end, "
                                      "title_begin, title_end, price_begin, price_end";

} // namespace CatalogSchema
