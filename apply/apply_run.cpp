// The run: velloran's four phases over the setup file, read by the same
// code, each entry's call made through the same binding. The configuration
// is read once before the run; a store is read again only when an entry
// needs a section that an earlier call of this run touched, and once more
// after the last call. Each call's result is taken from what that reading
// finds, not from the installer's word, and every section the run did not
// ask to change is checked for loss.
#include "apply.h"
#include "odbc_install.h"
#include "secret_keys.h"
#include "stored_form.h"

#include <cstdlib>
#include <map>

namespace {

const char USAGE_COUNT[] = "UsageCount";
const char SUCCESS_BUT[] = "the installer reported success, but ";
const char NO_LIBRARY[] = "the installer library cannot be loaded";

enum DataSourceAction { ADD, CONFIGURE, REMOVE };
enum Expectation { HOLDS_COMPONENT, HOLDS_DATA_SOURCE, ABSENT };

// A call that succeeded, waiting for the next reading of its store.
struct Pending {
    size_t entry;
    ConfigurationStore store;
    std::string section;
    Expectation expectation;
    StoredPairs pairs;
    std::string driver;
    bool hadBefore;
    ConfigurationSection before;
};

DataSourceAction ActionOf(WORD request)
{
    switch (request) {
    case ODBC_CONFIG_DSN:
    case ODBC_CONFIG_SYS_DSN:
        return CONFIGURE;
    case ODBC_REMOVE_DSN:
    case ODBC_REMOVE_SYS_DSN:
        return REMOVE;
    default:
        return ADD;
    }
}

// What a data-source request does, or in check mode would do.
Outcome DataSourceOutcome(DataSourceAction action, bool exists, bool planned)
{
    if (action == REMOVE)
        return planned ? OUTCOME_REMOVE : OUTCOME_REMOVED;
    if (action == CONFIGURE || exists)
        return planned ? OUTCOME_CONFIGURE : OUTCOME_CONFIGURED;
    return planned ? OUTCOME_ADD : OUTCOME_ADDED;
}

ConfigurationStore StoreOf(WORD request)
{
    return IsSystemRequest(request) ? SYSTEM_DATA_SOURCE_STORE : USER_DATA_SOURCE_STORE;
}

// The data source an attribute list names: its first DSN= value.
std::string DataSourceName(const Elements& attributes)
{
    for (const std::string& element : attributes) {
        size_t equals = element.find('=');
        if (equals != std::string::npos &&
            SameIgnoringAsciiCase(TrimmedAsStored(element.substr(0, equals)), "DSN"))
            return element.substr(equals + 1);
    }
    return "";
}

std::vector<KeyChange> ChangesBetween(const ConfigurationSection* before,
                                      const ConfigurationSection* after)
{
    std::vector<KeyChange> changes;
    if (after != NULL) {
        for (const auto& value : after->values) {
            const std::string* old = before != NULL ? FindValue(*before, value.first) : NULL;
            if (FindValue(*after, value.first) != &value.second)
                continue;  // a repeat: the installer reads the first
            if (old == NULL)
                changes.push_back({value.first, false, "", true, ShownValue(value.first, value.second)});
            else if (*old != value.second)
                changes.push_back({value.first, true, ShownValue(value.first, *old), true,
                                   ShownValue(value.first, value.second)});
        }
    }
    if (before != NULL) {
        for (const auto& value : before->values) {
            if (FindValue(*before, value.first) == &value.second &&
                (after == NULL || FindValue(*after, value.first) == NULL))
                changes.push_back({value.first, true, ShownValue(value.first, value.second), false, ""});
        }
    }
    return changes;
}

class Run {
public:
    Run(const ApplyOptions& options, RunResult& result) : options_(options), result_(result)
    {
        result_ = RunResult{{}, 0, false, {}, NULL, LOCK_TAKEN, ""};
        HMODULE library = LoadLibraryA("odbccp32.dll");
        libraryMissing_ = library == NULL;
        if (library != NULL)
            FreeLibrary(library);
        for (int s = 0; s < STORE_COUNT; ++s) {
            ReadConfigurationStore(static_cast<ConfigurationStore>(s), current_[s]);
            initial_[s] = current_[s];
        }
        readable_ = current_[DRIVER_STORE].read && current_[SYSTEM_DATA_SOURCE_STORE].read &&
                    current_[USER_DATA_SOURCE_STORE].read;
    }

    bool Interrupted(void)
    {
        result_.interrupted = CaughtStopSignal();
        return result_.interrupted != NULL;
    }

    void DriverManager(void)
    {
        EntryResult entry = NewEntry(PHASE_MANAGER, 1, INSTALL_KEY, "ODBC driver manager");
        // Never in place: it is always called when asked for.
        if (options_.check && libraryMissing_)
            Fail(entry, NO_LIBRARY);
        else if (options_.check)
            entry.outcome = OUTCOME_INSTALL;
        else
            Call(entry, OdbcInstallDriverManager, OUTCOME_INSTALLED);
        Finish(entry);
    }

    void Component(const SetupEntry& read)
    {
        bool driver = read.phase == PHASE_DRIVER;
        LPCSTR list = driver ? DRIVER_LIST : TRANSLATOR_LIST;
        Elements spec = SplitList(read.list);
        std::string name = spec.empty() ? "" : spec[0];
        EntryResult entry = NewEntry(read.phase, read.index, read.key, name);
        secrets_ = SecretValues(spec);
        StoredPairs pairs = StoredPairsOf(spec, 1);
        if (Refused(entry, PHASE_NAMES[read.phase], name, "")) {
            Finish(entry);
            return;
        }
        const ConfigurationSection* found = name.empty() ? NULL : Current(DRIVER_STORE, name);
        ConfigurationSection before = found != NULL ? *found : ConfigurationSection{name, {}};
        bool inPlace = readable_ && found != NULL &&
                       DifferenceFrom(*found, pairs, {LowerAscii(USAGE_COUNT)}).empty();
        if (options_.check && libraryMissing_) {
            Fail(entry, NO_LIBRARY);
        } else if (options_.check) {
            entry.outcome = options_.skipUnchanged && inPlace ? OUTCOME_UNCHANGED : OUTCOME_INSTALL;
            if (!name.empty())
                Predict(entry, DRIVER_STORE, found, [&](ConfigurationSection& after) {
                    if (INSTALL_REPLACES_SECTION && entry.outcome == OUTCOME_INSTALL)
                        KeepOnly(after, USAGE_COUNT);
                    SetPairs(after, pairs, {LowerAscii(USAGE_COUNT)});
                    if (entry.outcome == OUTCOME_INSTALL)
                        CountOneMoreUse(after);
                });
        } else if (options_.skipUnchanged && inPlace) {
            entry.outcome = OUTCOME_UNCHANGED;
        } else if (Call(entry, [&](InstallerErrors* errors) {
                       return (driver ? OdbcInstallDriver : OdbcInstallTranslator)(read.list, errors);
                   }, OUTCOME_INSTALLED) && !name.empty()) {
            Touched(DRIVER_STORE, {name, list});
            Expect(DRIVER_STORE, name, HOLDS_COMPONENT, pairs, "", found != NULL, before);
        }
        Finish(entry);
    }

    void DataSourceEntry(const SetupEntry& read)
    {
        Elements list = SplitList(read.list);
        std::string dsn = DataSourceName(list);
        EntryResult entry = NewEntry(PHASE_DATA_SOURCE, read.index, read.key, dsn);
        entry.hasRequest = true;
        entry.keyword = read.keyword;
        entry.request = read.request;
        secrets_ = SecretValues(list);
        ConfigurationStore store = StoreOf(read.request);
        if (!Refused(entry, store == SYSTEM_DATA_SOURCE_STORE ? "system data source" : "user data source",
                     dsn, read.driver))
            DataSource(entry, ActionOf(read.request), store, dsn, read.driver, list, read.list);
        Finish(entry);
    }

    // Each entry as the walk hands it over; false once a stop signal came.
    bool Visit(const SetupEntry& read)
    {
        if (Interrupted())
            return false;
        if (read.phase == PHASE_MANAGER)
            DriverManager();
        else if (read.phase == PHASE_DATA_SOURCE)
            DataSourceEntry(read);
        else
            Component(read);
        return true;
    }

    // The last reading: every store a call may have changed, each entry's
    // result from it, and every section nobody asked to change compared with
    // the first reading.
    void ReadBack(void)
    {
        for (int s = 0; s < STORE_COUNT; ++s) {
            if (asked_[s].empty())
                continue;  // no call of this run wrote here
            Reread(static_cast<ConfigurationStore>(s));
            if (!current_[s].read || !initial_[s].read)
                continue;
            std::set<std::string> seen;
            for (const ConfigurationSection& section : initial_[s].sections) {
                std::string folded = LowerAscii(section.name);
                if (asked_[s].count(folded) > 0 || !seen.insert(folded).second)
                    continue;
                const ConfigurationSection* now = FindSection(current_[s], section.name);
                if (now == NULL || now->values != section.values)
                    result_.lost.push_back({current_[s].place, section.name});
            }
        }
        for (const EntryResult& entry : result_.entries) {
            result_.failed += IsFailure(entry.outcome) ? 1 : 0;
            result_.changed = result_.changed || IsChange(entry.outcome);
        }
    }

    bool ReadBackPossible(void) const { return readable_; }

private:
    EntryResult NewEntry(Phase phase, int index, const std::string& key, const std::string& name)
    {
        return EntryResult{phase, index, key, name, false, "", 0, OUTCOME_FAILED, {}, {}};
    }

    void Fail(EntryResult& entry, const std::string& reason)
    {
        entry.outcome = options_.check ? OUTCOME_FAIL : OUTCOME_FAILED;
        entry.errors.push_back({0, MaskSecretsIn(reason, secrets_)});
    }

    // What the installer cannot store as asked: a name it trims, and a name
    // that an earlier entry gave in another case, which the installer takes
    // for the same one.
    bool Refused(EntryResult& entry, const std::string& group, const std::string& name,
                 const std::string& driver)
    {
        if (HasBlankEdge(name) || HasBlankEdge(driver)) {
            Fail(entry, "the name '" + (HasBlankEdge(name) ? name : driver) +
                            "' has a blank at its start or end, which the installer trims: "
                            "remove the blank");
            return true;
        }
        if (name.empty())
            return false;
        auto earlier = names_[group].emplace(LowerAscii(name), name).first;
        if (earlier->second != name) {
            Fail(entry, "an earlier " + group + " is named '" + earlier->second +
                            "', which the installer takes for the same name: write it the same way");
            return true;
        }
        return false;
    }

    template <typename Installer>
    bool Call(EntryResult& entry, Installer install, Outcome done)
    {
        bool succeeded = install(&entry.errors) != FALSE;
        for (InstallerError& error : entry.errors)
            error.message = MaskSecretsIn(error.message, secrets_);
        entry.outcome = succeeded ? done : OUTCOME_FAILED;
        return succeeded;
    }

    void Finish(EntryResult& entry) { result_.entries.push_back(entry); }

    // A section as the installer holds it now, read again first when a call
    // of this run may have changed it.
    const ConfigurationSection* Current(ConfigurationStore store, const std::string& name)
    {
        if (touched_[store].count(LowerAscii(name)) > 0)
            Reread(store);
        return FindSection(current_[store], name);
    }

    void Reread(ConfigurationStore store)
    {
        ReadConfigurationStore(store, current_[store]);
        touched_[store].clear();
        // Taken out first: verifying may read another store again.
        std::vector<Pending> due, later;
        for (Pending& pending : pending_)
            (pending.store == store ? due : later).push_back(std::move(pending));
        pending_ = std::move(later);
        for (const Pending& pending : due)
            Verify(pending);
    }

    void Touched(ConfigurationStore store, std::initializer_list<std::string> sections)
    {
        for (const std::string& section : sections) {
            touched_[store].insert(LowerAscii(section));
            asked_[store].insert(LowerAscii(section));
        }
    }

    void Expect(ConfigurationStore store, const std::string& section,
                Expectation expectation, const StoredPairs& pairs, const std::string& driver,
                bool hadBefore, const ConfigurationSection& before)
    {
        if (!readable_)
            return;  // nothing to compare with: the installer's word stands
        pending_.push_back(Pending{result_.entries.size(), store, section, expectation, pairs,
                                   driver, hadBefore, before});
    }

    void Verify(const Pending& pending)
    {
        EntryResult& entry = result_.entries[pending.entry];
        const ConfigurationFile& file = current_[pending.store];
        const ConfigurationSection* after = FindSection(file, pending.section);
        std::string missing;
        if (!file.read)
            missing = "the configuration cannot be read back: " + file.error;
        else if (pending.expectation == ABSENT)
            missing = after != NULL ? "it is still in " + file.place : "";
        else if (after == NULL)
            missing = "its section is missing from " + file.place;
        else if (pending.expectation == HOLDS_DATA_SOURCE &&
                 !BoundTo(*after, pending.store, pending.driver))
            missing = "it is not bound to driver '" + pending.driver + "'";
        else if (pending.expectation == HOLDS_DATA_SOURCE)
            missing = DifferenceFrom(*after, pending.pairs, {"dsn", "driver"});
        else
            missing = DifferenceFrom(*after, pending.pairs, {LowerAscii(USAGE_COUNT)});
        if (missing.empty() && pending.expectation == HOLDS_COMPONENT && pending.hadBefore &&
            FindValue(pending.before, USAGE_COUNT) != NULL && FindValue(*after, USAGE_COUNT) == NULL)
            missing = std::string(USAGE_COUNT) + " is missing";
        if (!missing.empty()) {
            entry.outcome = OUTCOME_FAILED;
            entry.errors.push_back({0, std::string(SUCCESS_BUT) + missing});
        }
        if (file.read)
            entry.changes = ChangesBetween(pending.hadBefore ? &pending.before : NULL, after);
    }

    // The driver a data source is bound to, the store's list read again
    // first when a call changed it.
    std::string BoundDriver(const ConfigurationSection& section, ConfigurationStore store)
    {
        return DataSourceDriver(Current(store, DATA_SOURCE_LIST), section);
    }

    bool BoundTo(const ConfigurationSection& section, ConfigurationStore store,
                 const std::string& driver)
    {
        std::string bound = BoundDriver(section, store);
        if (SameIgnoringAsciiCase(bound, driver))
            return true;
        const ConfigurationSection* installed = Current(DRIVER_STORE, driver);
        const std::string* file = installed != NULL ? FindValue(*installed, "Driver") : NULL;
        return file != NULL && !bound.empty() && *file == bound;
    }

    // Check mode: the change an entry would make, kept in the configuration
    // as read, so later entries of the file see it.
    template <typename Change>
    void Predict(EntryResult& entry, ConfigurationStore store, const ConfigurationSection* found,
                 Change change)
    {
        ConfigurationSection after = found != NULL ? *found : ConfigurationSection{entry.name, {}};
        change(after);
        entry.changes = ChangesBetween(found, &after);
        Replace(store, entry.name, &after);
    }

    void Replace(ConfigurationStore store, const std::string& name, const ConfigurationSection* section)
    {
        std::vector<ConfigurationSection>& sections = current_[store].sections;
        for (size_t i = 0; i < sections.size(); ++i) {
            if (SameIgnoringAsciiCase(sections[i].name, name)) {
                if (section != NULL)
                    sections[i] = *section;
                else
                    sections.erase(sections.begin() + static_cast<long>(i));
                return;
            }
        }
        if (section != NULL)
            sections.push_back(*section);
    }

    static void KeepOnly(ConfigurationSection& section, const std::string& key)
    {
        ConfigurationValues kept;
        const std::string* value = FindValue(section, key);
        if (value != NULL)
            kept.emplace_back(key, *value);
        section.values = kept;
    }

    static void CountOneMoreUse(ConfigurationSection& section)
    {
        const std::string* count = FindValue(section, USAGE_COUNT);
        int uses = count != NULL ? std::atoi(count->c_str()) : 0;
        SetPairs(section, {StoredPair{USAGE_COUNT, {std::to_string(uses + 1)}}}, {});
    }

    // Why a data-source request is sure to fail before it is made, or "".
    std::string CertainFailure(DataSourceAction action, ConfigurationStore store,
                               const std::string& dsn, const std::string& driver,
                               const ConfigurationSection* found)
    {
        if (found != NULL && action == CONFIGURE) {
            // A data source bound to no driver at all is the installer's
            // business; one bound to another cannot be rebound here.
            std::string bound = BoundDriver(*found, store);
            if (!bound.empty() && !BoundTo(*found, store, driver))
                return "data source '" + dsn + "' uses driver '" + bound +
                       "', and configuring cannot change its driver: add it again to bind it to '" +
                       driver + "'";
        }
        if (!options_.check || !readable_)
            return "";
        if (libraryMissing_)
            return NO_LIBRARY;
        if (found == NULL && (action == CONFIGURE || (action == REMOVE && !options_.skipUnchanged)))
            return "data source '" + dsn + "' does not exist in " + current_[store].place;
        if (action == REMOVE && found == NULL)
            return "";
        const ConfigurationSection* installed = Current(DRIVER_STORE, driver);
        if (installed == NULL) {
            LPCSTR otherBuild = NULL;
            std::string reason = "driver '" + driver + "' is not installed in the " +
                                 OdbcViewName() + " view";
            if (DriverInOtherView(driver.c_str(), &otherBuild))
                reason += " but is in the other one: run the " + std::string(otherBuild) + " build";
            return reason;
        }
        const std::string* setup = FindValue(*installed, "Setup");
        if (setup == NULL || TrimmedAsStored(*setup).empty())
            return "driver '" + driver + "' has no Setup= library, which every data-source "
                   "request needs";
        return "";
    }

    void DataSource(EntryResult& entry, DataSourceAction action, ConfigurationStore store,
                    const std::string& dsn, LPCSTR driver, const Elements& list, LPCSTR attributes)
    {
        StoredPairs pairs = StoredPairsOf(list, 0);
        const ConfigurationSection* stored = dsn.empty() ? NULL : Current(store, dsn);
        bool exists = stored != NULL;
        // Worked on as a copy: finding the driver it is bound to can read
        // the store again, which frees what it held.
        ConfigurationSection before = exists ? *stored : ConfigurationSection{dsn, {}};
        const ConfigurationSection* found = exists ? &before : NULL;
        bool inPlace = readable_ && (action == REMOVE
                                         ? !dsn.empty() && !exists
                                         : exists && BoundTo(before, store, driver) &&
                                               DifferenceFrom(before, pairs, {"dsn", "driver"}).empty());
        std::string certain = CertainFailure(action, store, dsn, driver, found);
        if (!certain.empty() && !(options_.skipUnchanged && inPlace)) {
            Fail(entry, certain);
            return;
        }
        if (options_.skipUnchanged && inPlace) {
            entry.outcome = OUTCOME_UNCHANGED;
        } else if (options_.check) {
            entry.outcome = DataSourceOutcome(action, exists, true);
            if (dsn.empty())
                return;
            if (action == REMOVE) {
                entry.changes = ChangesBetween(found, NULL);
                Replace(store, dsn, NULL);
            } else {
                Predict(entry, store, found, [&](ConfigurationSection& after) {
                    if (action == ADD)
                        after.values.clear();  // adding again replaces the data source
                    SetPairs(after, {StoredPair{"Driver", {driver}}}, {});
                    SetPairs(after, pairs, {"dsn", "driver"});
                });
            }
        } else {
            Outcome done = DataSourceOutcome(action, exists, false);
            WORD request = entry.request;
            auto configure = [&](InstallerErrors* errors) {
                return OdbcConfigDataSource(request, driver, attributes, errors);
            };
            if (Call(entry, configure, done) && !dsn.empty()) {
                Touched(store, {dsn, DATA_SOURCE_LIST});
                Expect(store, dsn, action == REMOVE ? ABSENT : HOLDS_DATA_SOURCE, pairs, driver, exists,
                       before);
            }
        }
    }

    const ApplyOptions& options_;
    RunResult& result_;
    bool libraryMissing_;
    bool readable_;
    ConfigurationFile initial_[STORE_COUNT];
    ConfigurationFile current_[STORE_COUNT];
    // Sections calls of this run wrote (folded): since the store's last
    // reading, which makes it stale for them, and in the whole run.
    std::set<std::string> touched_[STORE_COUNT];
    std::set<std::string> asked_[STORE_COUNT];
    std::map<std::string, std::map<std::string, std::string>> names_;
    std::vector<Pending> pending_;
    std::vector<std::string> secrets_;  // the current entry's
};

}  // namespace

bool IsChange(Outcome outcome)
{
    switch (outcome) {
    case OUTCOME_INSTALLED:
    case OUTCOME_ADDED:
    case OUTCOME_CONFIGURED:
    case OUTCOME_REMOVED:
    case OUTCOME_INSTALL:
    case OUTCOME_ADD:
    case OUTCOME_CONFIGURE:
    case OUTCOME_REMOVE:
        return true;
    default:
        return false;
    }
}

bool IsFailure(Outcome outcome)
{
    return outcome == OUTCOME_FAILED || outcome == OUTCOME_FAIL;
}

void RunApply(const ApplyOptions& options, RunResult& result)
{
    // Taken for a check too: what it reads must not be half-way through
    // another run's rewrite.
    ConfigurationLocking locking = LockOdbcConfiguration(options.waitSeconds);
    if (locking != LOCK_TAKEN) {
        result = RunResult{{}, 0, false, {}, NULL, locking, OdbcConfigurationLockProblem()};
        return;
    }
    Run run(options, result);
    if (!options.check && !run.ReadBackPossible())
        std::fprintf(stderr, "velloran-apply: the ODBC configuration cannot be read, so the "
                             "results below are the installer's word, not read back\n");
    for (int phase = 0; phase < PHASE_COUNT && !run.Interrupted(); ++phase)
        WalkPhase(static_cast<Phase>(phase), [&run](const SetupEntry& read) { return run.Visit(read); });
    run.Interrupted();  // a signal during the last entry
    run.ReadBack();
    UnlockOdbcConfiguration();
}
