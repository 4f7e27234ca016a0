#pragma once

#include <QString>

namespace tessaly::schema {

// The archive's two tables. The texts are part of the file format: archives
// made by every version of Tessaly are opened with these statements.
inline const QString kCreatePhotos = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS photos(flickrID TEXT PRIMARY KEY,owner TEXT,ownername TEXT,url_o "
    "TEXT,url_l TEXT,license INTEGER,title TEXT,description TEXT,tags TEXT,views INTEGER,width_o "
    "INTEGER,height_o INTEGER,url_sq TEXT, originalformat TEXT,datetaken TEXT,dateupload "
    "TEXT,filesize INTEGER NOT NULL DEFAULT 0,isfamily INTEGER,isfriend INTEGER,ispublic "
    "INTEGER,permcomment INTEGER,permmeta INTEGER,lastupdate TEXT,geo TEXT,latitude TEXT,longitude "
    "TEXT,Make TEXT,Model TEXT,Flash TEXT,media TEXT,setID TEXT NOT NULL DEFAULT '',exifdata "
    "TEXT);");

inline const QString kCreateSets = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS sets(setID TEXT PRIMARY KEY,set_title TEXT,set_description TEXT);");

// What the "Database Schema" panel shows.
inline const QString kSchemaDescription = QStringLiteral(
    "photos table\n\tflickrID\t\tTEXT\n\towner\tTEXT\n\townername\tTEXT\n\turl_o\tTEXT\n\turl_l\tTEXT"
    "\n\tlicense\tINTEGER\n\ttitle\tTEXT\n\tdescription\tTEXT\n\ttags\tTEXT\n\tviews\tINTEGER\n\twid"
    "th_o\tINTEGER\n\theight_o\tINTEGER\n\turl_sq\tTEXT\n\toriginalformat\tTEXT\n\tdatetaken\tTEXT\n"
    "\tdateupload\tTEXT\n\tfilesize\tINTEGER\n\tisfamily\tINTEGER\n\tisfriend\tINTEGER\n\tispublic\t"
    "INTEGER\n\tpermcomment\tINTEGER\n\tpermmeta\tINTEGER\n\tlastupdate\tTEXT\n\tgeo\tTEXT\n\tlatitu"
    "de\tTEXT\n\tlongitude\tTEXT\n\tMake\tTEXT\n\tModel\tTEXT\n\tFlash\tTEXT\n\tmedia\tTEXT\n\texifd"
    "ata\tTEXT\n");

} // namespace tessaly::schema
