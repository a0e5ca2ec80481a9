#include <QString>

#include "cli_commands.h"
#include "common/tool_support.h"
#include "print/card_page_painter.h"

namespace lithora::cli {

namespace {

class PrintCommand : public Command {
  public:
    explicit PrintCommand(CLI::App& app) {
        m_app = app.add_subcommand("print", "the printed card, written as a PDF file");
        m_app->add_option("CARD_NUMBER", m_card, "card number (1..10000)")->required();
        m_app->add_option("--pdf", m_file, "the PDF file to write")->required();
    }

    CLI::App* subcommand() const override { return m_app; }

    int run(Session& session, Json& out) override {
        if (const int code = makeCardCurrent(session, m_card); code != tools::kExitOk) return code;
        const Result<int> pages = gui::writeCardPdf(session.card, QString::fromStdString(m_file),
                                                    session.decimalSeparator);
        if (!pages) {
            printError(pages.error().message);
            return tools::kExitDataFault;
        }
        out = Json{{"pages", pages.value()}, {"file", m_file}};
        return tools::kExitOk;
    }

  private:
    CLI::App* m_app = nullptr;
    int m_card = 0;
    std::string m_file;
};

} // namespace

std::unique_ptr<Command> makePrintCommand(CLI::App& app) {
    return std::make_unique<PrintCommand>(app);
}

} // namespace lithora::cli
