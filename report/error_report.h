// The report file error.json, written into the output folder by a failing run.
//
// It is one line of compact JSON, byte for byte what RapidJSON's Writer makes:
//
//   {"errors":[{"errcode":101,"error_des":"<GBK text>","images":["a.jpg",...]},...]}
//
// Groups, in the order of the check rows, each present only when its check
// set its flag: 101 resolution, 102 camera maker, 103 focal length, 104 GPS.
// A run over an empty image list writes the single group 105 instead, without
// an "images" member. Names and descriptions go out as their bytes: quote and
// backslash are escaped, control bytes become \b \t \n \f \r or \u00XX, and
// bytes from 0x80 up are copied unchanged (GBK, not UTF-8; a double-byte
// character of the Windows ANSI code page is copied whole, see json_writer.h).
// With PHOTOCHECK_CHARSET=UTF-8 the report is UTF-8 throughout: the UTF-8
// descriptions, the names in UTF-8 (on Windows from their UTF-16 names), a
// POSIX name's byte that is not UTF-8 as \uDCXX.
//
// Each writer prints the JSON text as one console line, then replaces
// error.json whole (temporary file + rename), so a failed write never leaves
// an emptied or partial report. When that fails it prints
// "can not write <path>". The caller decides the exit status.
#ifndef PHOTOCHECK_REPORT_ERROR_REPORT_H
#define PHOTOCHECK_REPORT_ERROR_REPORT_H

#include <string>

#include "checks/check_findings.h"
#include "checks/check_table.h"

void writeErrorReport(const CheckFindings& findings, const CheckFlags& flags,
                      const std::string& outputFolder);

void writeNoImageReport(const std::string& outputFolder);

// The JSON texts the two writers print and store: in the system's bytes, or
// in UTF-8 (the names are taken as they stand in both).
std::string errorReportText(const CheckFindings& findings, const CheckFlags& flags,
                            bool utf8 = false);
std::string noImageReportText(bool utf8 = false);

// outputFolder, the platform's path separator, "error.json". The folder text
// is used as it stands: one ending in a separator gives a doubled one.
std::string errorReportPath(const std::string& outputFolder);

#endif  // PHOTOCHECK_REPORT_ERROR_REPORT_H
