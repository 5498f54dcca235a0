#pragma once
// Sends every page of a report to a paged device (a PDF file here, a printer on the
// widget side), page by page, with a progress callback that may cancel.

#include <QString>
#include <functional>

class QPagedPaintDevice;
class TRVReport;

// Called before each page and once at the end; returning false stops the output.
using ReportProgress = std::function<bool(int pagesDone, int pageCount)>;

enum class ReportOutcome { Done, Cancelled, DoesNotFit, Failed };

// The device must already have the report's page layout.
[[nodiscard]] ReportOutcome paintReport(const TRVReport &report, QPagedPaintDevice &device,
                                        const ReportProgress &progress = {});

// Writes the whole report as a PDF; a cancelled or failed file never replaces the target.
[[nodiscard]] ReportOutcome writeReportPdf(const TRVReport &report, const QString &fileName,
                                           const ReportProgress &progress = {});
