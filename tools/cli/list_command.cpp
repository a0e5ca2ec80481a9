#include "cli_commands.h"
#include "common/tool_support.h"
#include "list/entry_list.h"

namespace lithora::cli {

namespace {

class ListCommand : public Command {
  public:
    explicit ListCommand(CLI::App& app) {
        m_app = app.add_subcommand("list", "the entry list as the main window shows it");
        m_app->add_flag("--ima", m_imaOnly,
                        "only IMA approved entries (reloads the list with the filter on)");
        m_app->add_option("--group", m_group,
                          "only the members of a group, as the group menu narrows the list");
        m_output.addOption(m_app);
    }

    CLI::App* subcommand() const override { return m_app; }
    const TableOutput* tableOutput() const override { return &m_output; }

    int run(Session& session, Json& out) override {
        // What the start-up load found, before any narrowing.
        const int maxCardNumber = session.maxCardNumber;
        const std::vector<std::string> groups = session.groupCaptions;

        if (m_imaOnly) {
            session.imaOnly = true;
            if (m_group.empty()) {
                if (Status s = getFullList(session, std::string()); !s) return fail(s);
            }
        }
        if (!m_group.empty()) {
            if (Status s = loadGroup(session, m_group); !s) return fail(s);
        }

        m_output.setRows(session.rows);
        Json rows = Json::array();
        for (const ListRow& row : session.rows) {
            Json r = Json::object();
            for (std::size_t c = 0; c < row.size(); ++c)
                r[std::string(kListColumns[c].header)] = row[c];
            rows.push_back(std::move(r));
        }
        out = {{"status", statusJson(session)},
               {"maxCardNumber", maxCardNumber},
               {"groups", groups},
               {"rows", std::move(rows)}};
        return tools::kExitOk;
    }

  private:
    static int fail(const Status& s) {
        printError(s.error().message);
        return tools::kExitDataFault;
    }

    CLI::App* m_app = nullptr;
    bool m_imaOnly = false;
    std::string m_group;
    TableOutput m_output;
};

} // namespace

std::unique_ptr<Command> makeListCommand(CLI::App& app) {
    return std::make_unique<ListCommand>(app);
}

} // namespace lithora::cli
