#pragma once

#include "core/matrix.h"
#include "core/report_file.h"

// The result report, in its two stretches. Texts are Windows-1252; every
// "\n" reaches the file as CR LF.

// Banner, input summary, method line and the results heading. weights is the
// n x 1 vector of the observation weights.
void WriteReportHead(ReportFile& file, const Matrix& A, const Matrix& l, const Matrix& weights, int methodCode,
                     double tuningConstant, double normFactor);

// The head of a run whose scale is re-estimated at every pass, in two
// steps around the computation: up to and including the method line (with
// the tuning constant as given), then the line of the last scale s and the
// rest of the head.
void WriteReportHeadThroughMethod(ReportFile& file, const Matrix& A, const Matrix& l, const Matrix& weights,
                                  int methodCode, double tuningConstant);
void WriteReportScaleLineAndRest(ReportFile& file, double lastScale);

// Pass count (IRLS codes only, not for code 1), unknowns, table of
// observations, corrections and adjusted observations, closing rule.
void WriteReportResults(ReportFile& file, int methodCode, int passCount, const Matrix& x, const Matrix& l,
                        const Matrix& v);

// Whether every number that the results stretch publishes is finite: the
// unknowns x, and for every observation the correction v(i) and the
// adjusted observation l(i) + v(i). A run whose table shows "inf" or "nan"
// is no success.
bool ResultsAreFinite(const Matrix& x, const Matrix& l, const Matrix& v);

// The method line's text for a code, with its line end; empty for a code
// that is not the engine's.
std::string MethodText(int methodCode, double tuningConstant, double normFactor);

// For a report whose method line is not one of the engine's (the Chebyshev
// solution of the Lp library): head with a given method text, results
// without a pass-count line.
void WriteReportHeadWithMethodText(ReportFile& file, const Matrix& A, const Matrix& l, const Matrix& weights,
                                   const std::string& methodText);
void WriteReportResultsWithoutPassCount(ReportFile& file, const Matrix& x, const Matrix& l, const Matrix& v);
