#pragma once
// The Print command: the landscape reminder, the printer dialog, then the report of the
// catalogue in its current order, titled with the main window's caption and sort label.

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class FileDialogs;
class MessageSink;
class PrinterDialog;
class QLabel;
class QPrinter;
class QWidget;
class RecordSet;
class Sorting;
struct DisplayState;
class ReportWindow;

struct PrintControls {
    QWidget *window = nullptr; // its caption titles the report; it owns the report window
    MessageSink *messages = nullptr;
    PrinterDialog *printerDialog = nullptr;
    QLabel *lblSortType = nullptr;
    const DisplayState *state = nullptr; // its catalogue is replaced by Clear: read each time
    const Sorting *sorting = nullptr;    // the sort label's caption for the order in force
    FileDialogs *fileDialogs = nullptr;  // Save As PDF
    QString folder;                      // where Save As PDF starts; empty: the Tarvolo folder
};

class PrintCommand {
public:
    explicit PrintCommand(PrintControls controls);
    ~PrintCommand();

    void mnuPrint_Click();
    [[nodiscard]] ReportWindow *reportWindow() const;

private:
    [[nodiscard]] std::function<QString()> sortLine() const;

    PrintControls m_c;
    std::shared_ptr<QPrinter> m_printer;
    QPointer<ReportWindow> m_report;
};
