#include "cli/CommandSet.h"

#include <iostream>

#include <CLI/CLI.hpp>

#include "cli/ExitStatus.h"
#include "commands/DataCommands.h"
#include "commands/ReportCommands.h"
#include "commands/Session.h"
#include "commands/StoreCommands.h"
#include "commands/ValueCommands.h"
#include "demo/Demo.h"
#include "output/Output.h"
#include "shell/Shell.h"

namespace nuvrixconfig {

CommandSet::CommandSet(CLI::App& app, Mode mode) {
    app.require_subcommand(1);
    addValueCommands(app, mode);
    addStoreCommands(app);
    addOtherCommands(app, mode);
}

int CommandSet::run(Session& session) {
    if (!action) {
        session.getOutput().error("no command given");
        return ExitStatus::Usage;
    }
    return action(session);
}

std::string CommandSet::describeParseError(const std::exception& error, const CLI::App& app) {
    // A word that is no command is left over, whatever CLI11 complains of.
    if (app.get_subcommands().empty() && !app.remaining().empty()) {
        return "unknown command \"" + app.remaining().front() + "\"";
    }
    return error.what();
}

void CommandSet::addValueCommands(CLI::App& app, Mode mode) {
    CLI::App* get = app.add_subcommand("get", "Effective value of each key, its store, the administrator's value");
    get->add_option("KEY", args.keys, "Configuration key (old names resolve)")->required();
    get->add_flag("--show-secrets", args.showSecrets, "Show the values of sensitive keys");
    get->callback([this] {
        action = [this](Session& s) { return ValueCommands(s).get(args.keys, args.showSecrets); };
    });

    CLI::App* explain = app.add_subcommand("explain", "Every store's answer for a key, in priority order");
    explain->add_option("KEY", args.key, "Configuration key")->required();
    explain->add_flag("--show-secrets", args.showSecrets, "Show the values of sensitive keys");
    explain->callback([this] {
        action = [this](Session& s) { return ValueCommands(s).explain(args.key, args.showSecrets); };
    });

    CLI::App* set = app.add_subcommand("set", "Write the user's value of a key (kept in the encrypted settings file)");
    set->add_option("KEY", args.key, "Configuration key")->required();
    set->add_option("VALUE", args.value, "New value")->required();
    set->add_flag("--new", args.allowNew, "Allow a key that no store defines yet");
    set->callback([this] {
        action = [this](Session& s) { return ValueCommands(s).set(args.key, args.value, args.allowNew); };
    });

    CLI::App* unset = app.add_subcommand("unset", "Remove the user's value of a key");
    unset->add_option("KEY", args.key, "Configuration key")->required();
    unset->callback([this] { action = [this](Session& s) { return ValueCommands(s).unset(args.key); }; });

    CLI::App* inMemory =
        app.add_subcommand("set-in-memory", "Set a run-time value that ends with the process (shell only)");
    inMemory->add_option("KEY", args.key, "Configuration key")->required();
    inMemory->add_option("VALUE", args.value, "Value")->required();
    inMemory->callback([this] {
        action = [this](Session& s) { return ValueCommands(s).setInMemory(args.key, args.value); };
    });

    if (mode == Mode::Shell) {
        CLI::App* watch = app.add_subcommand("watch", "Print each change of a key's value as it happens");
        watch->add_option("KEY", args.key, "Configuration key (none: list the watched keys)");
        watch->callback([this] { action = [this](Session& s) { return ValueCommands(s).watch(args.key); }; });

        CLI::App* unwatch = app.add_subcommand("unwatch", "Stop watching a key");
        unwatch->add_option("KEY", args.key, "Configuration key")->required();
        unwatch->callback([this] { action = [this](Session& s) { return ValueCommands(s).unwatch(args.key); }; });
    }
}

void CommandSet::addStoreCommands(CLI::App& app) {
    CLI::App* stores = app.add_subcommand("stores", "The stores in priority order: access, keys, cache file");
    stores->callback([this] { action = [](Session& s) { return StoreCommands(s).stores(); }; });

    CLI::App* addStore =
        app.add_subcommand("add-store", "Add server-provided configuration from an XML file, as a service would");
    addStore->add_option("NAME", args.name, "Store name")->required();
    addStore->add_option("PRIORITY", args.priority, "Priority (lower is consulted first)")->required();
    addStore->add_option("FILE", args.file, "Configuration XML: <root><group><Key>value</Key></group></root>")
        ->required();
    addStore->add_flag("--cache", args.cache, "Keep an encrypted copy that the next run restores");
    addStore->callback([this] {
        action = [this](Session& s) {
            return StoreCommands(s).addStore(args.name, args.priority, args.file, args.cache);
        };
    });

    CLI::App* removeStore = app.add_subcommand("remove-store", "Remove a store and its cached copy");
    removeStore->add_option("NAME", args.name, "Store name (or its cached copy's)")->required();
    removeStore->callback([this] { action = [this](Session& s) { return StoreCommands(s).removeStore(args.name); }; });

    CLI::App* removeCached = app.add_subcommand("remove-cached-stores", "Remove every cached store and its file");
    removeCached->callback([this] { action = [](Session& s) { return StoreCommands(s).removeCachedStores(); }; });

    CLI::App* provision = app.add_subcommand("provision", "Apply the settings of a provisioning URL");
    provision->add_option("URL", args.url, "e.g. \"https://x/?ServicesDomain=example.com\"")->required();
    provision->callback([this] { action = [this](Session& s) { return StoreCommands(s).provision(args.url); }; });

    CLI::App* mdm = app.add_subcommand("mdm", "Apply a device-management document (XML, as for add-store)");
    mdm->add_option("FILE", args.file, "Device-management XML")->required();
    mdm->callback([this] { action = [this](Session& s) { return StoreCommands(s).mdm(args.file); }; });

    CLI::App* bootstrap = app.add_subcommand("bootstrap", "Add the installer's \"key: value\" settings");
    bootstrap->add_option("FILE", args.file, "Bootstrap file")->required();
    bootstrap->add_option("PRIORITY", args.priority, "Priority (lower is consulted first)")->required();
    bootstrap->callback([this] {
        action = [this](Session& s) { return StoreCommands(s).bootstrap(args.file, args.priority); };
    });
}

void CommandSet::addOtherCommands(CLI::App& app, Mode mode) {
    CLI::App* dump = app.add_subcommand("dump", "The service's log dump of every value with its provenance");
    dump->callback([this] { action = [](Session& s) { return ReportCommands(s).dump(); }; });

    CLI::App* report = app.add_subcommand("report", "The problem-report document of the configuration");
    report->add_option("--output,-o", args.output, "Write it to this file (mode 0600) instead");
    report->callback([this] { action = [this](Session& s) { return ReportCommands(s).report(args.output); }; });

    CLI::App* decrypt = app.add_subcommand("decrypt", "Print the plain text of an encrypted settings or cache file");
    decrypt->add_option("FILE", args.file, "Encrypted file")->required();
    decrypt->callback([this] { action = [this](Session& s) { return DataCommands(s).decrypt(args.file); }; });

    CLI::App* reset = app.add_subcommand("reset-data", "The host's data reset: delete settings and cached configuration");
    reset->add_flag("--yes", args.confirmed, "Confirm the reset");
    reset->callback([this] { action = [this](Session& s) { return DataCommands(s).resetData(args.confirmed); }; });

    if (mode == Mode::Program) {
        CLI::App* shell = app.add_subcommand(
            "shell", "Run commands over one running host; adds watch, unwatch and set-in-memory");
        shell->callback([this] { action = [](Session& s) { return Shell(s, std::cin).run(); }; });

        CLI::App* demo = app.add_subcommand("demo", "A guided tour in a fresh temporary configuration directory");
        demo->callback([this] { action = [](Session& s) { return Demo(s.getOptions()).run(); }; });
    }
}

}  // namespace nuvrixconfig
