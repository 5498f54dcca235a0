#pragma once
// The printer dialog goes through here, so tests choose a printer without a person.

class QPrinter;
class QWidget;

class PrinterDialog {
public:
    virtual ~PrinterDialog() = default;
    // Shows the dialog over the printer as it is set; false when the user cancels.
    virtual bool choosePrinter(QPrinter &printer) = 0;
};

// The real one: Qt's printer dialog over the given window.
class QtPrinterDialog final : public PrinterDialog {
public:
    explicit QtPrinterDialog(QWidget *parent) : m_parent(parent) {}
    bool choosePrinter(QPrinter &printer) override;

private:
    QWidget *m_parent;
};
