// The file-type filter of a file-open dialog as the windows write it,
// "Description,PATTERNS[,Description,PATTERNS…]" with patterns separated
// by ";" (e.g. "所有图片文件(*.BMP;*.GIF;*.JPG),*.BMP;*.GIF;*.JPG"),
// turned into a QFileDialog filter ("Description (*.BMP *.bmp …)").
#pragma once

#include <QString>
#include <string_view>

namespace officerecords::app {

// Each pattern is offered in its lower-case spelling too: the windows write
// "*.JPG" while a Linux file system tells "photo.jpg" from "photo.JPG".
// An entry of several picture patterns and nothing else (BMP, GIF, JPG)
// offers every picture the photo store reads: JPEG and PNG as well.
// An empty filter gives an empty text (every file).
QString qt_file_filter(std::string_view filter);

}  // namespace officerecords::app
