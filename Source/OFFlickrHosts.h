#pragma once

#include <QString>

// The four Flickr hosts Tessaly talks to. The real hosts are the defaults; the
// environment variable TESSALY_FLICKR_ENDPOINT (e.g. "http://127.0.0.1:8123")
// replaces scheme, host and port of all four, for tests and the demo.
enum class OFFlickrHost { API, StaticPhoto, Web, Upload };

// "scheme://host[:port]" of a host, no trailing slash, with the override applied.
QString OFFlickrHostBase(OFFlickrHost host);

// The same for a given override text (empty: no override). An override that is
// not an http(s) URL with a host is ignored.
QString OFFlickrHostBaseWithOverride(OFFlickrHost host, const QString& endpointOverride);
