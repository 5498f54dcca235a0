// trv report FILE -o OUT.pdf: the catalogue file's printed report as a PDF.
#include "report/report.h"
#include "catalogue/recordset.h"
#include "commands.h"
#include "inputs.h"
#include "output.h"
#include "report/reportoutput.h"

#include <CLI/CLI.hpp>
#include <QFileInfo>
#include <QGuiApplication>
#include <memory>
#include <string>

namespace trv {
namespace {

struct Arguments {
    std::string file, pdf;
    std::string program; // argv[0], for the application
};

// The report needs fonts, so a GUI application on a platform that shows nothing.
int report(Arguments &arguments)
{
    const std::unique_ptr<RecordSet> catalogue = openCatalogue(arguments.file);
    if (!catalogue)
        return kError;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char *qtArgv[] = {arguments.program.data(), nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    const QString title =
        QStringLiteral("Tarvolo  -  Display Of ") + QFileInfo(QString::fromLocal8Bit(arguments.file)).fileName();
    const TRVReport trvReport(*catalogue, {title, QString()});
    if (writeReportPdf(trvReport, QString::fromLocal8Bit(arguments.pdf)) != ReportOutcome::Done) {
        complain("cannot write the report '%s'", arguments.pdf.c_str());
        return kFailed;
    }
    return kSuccess;
}

Run define(CLI::App &command)
{
    auto arguments = std::make_shared<Arguments>();
    command.add_option("FILE", arguments->file)->required();
    command.add_option("-o", arguments->pdf)->required();
    return [arguments, &command] {
        arguments->program = command.get_parent()->get_name(); // the parser's name is argv[0]
        return report(*arguments);
    };
}

} // namespace

constinit const Command reportCommand{
    "report",
    "usage: trv report FILE -o OUT.pdf\n"
    "  Writes the printed report of the catalogue file FILE, in its order, as a PDF.\n",
    define,
};

} // namespace trv
