#include "sim/PlatformSim.h"

#include "sim/SimClock.h"
#include "sim/SimContext.h"
#include "sim/demo/DemoData.h"
#include "sim/demo/DemoSeeder.h"
#include "sim/demo/EmbeddedDemo.h"
#include "sim/http/SimHttp.h"
#include "sim/http/SimRouter.h"
#include "sim/messaging/EchoBot.h"
#include "sim/messaging/Messenger.h"
#include "sim/messaging/PollHub.h"
#include "sim/services/ControlService.h"
#include "sim/store/SessionStore.h"
#include "sim/store/SimDb.h"
#include "sim/store/VersionStore.h"

#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>

struct PlatformSim::Impl {
    explicit Impl(SimOptions o) : options(std::move(o)) {}

    bool Load(std::string* error);
    void Build();

    SimOptions options;
    DemoData demo;
    SimDb db;
    PollHub hub;
    FaultTable faults;
    std::mutex log_mutex;
    std::unique_ptr<SessionStore> sessions;
    std::unique_ptr<Messenger> messenger;
    std::unique_ptr<VersionStore> versions;
    std::unique_ptr<SimContext> context;
    std::unique_ptr<ControlService> control;
    std::unique_ptr<SimRouter> router;
    std::unique_ptr<EchoBot> bot;
    std::unique_ptr<SimHttp> http;
};

bool PlatformSim::Impl::Load(std::string* error) {
    std::string text = EmbeddedDemoJson();
    if (!options.demo_path.empty()) {
        std::ifstream file(options.demo_path, std::ios::binary);
        if (!file) {
            *error = "cannot read the demo data file " + options.demo_path;
            return false;
        }
        std::stringstream content;
        content << file.rdbuf();
        text = content.str();
    }
    return demo.Load(text, error) && db.Open(options.db_path, error);
}

void PlatformSim::Impl::Build() {
    sessions = std::make_unique<SessionStore>(db);
    messenger = std::make_unique<Messenger>(demo, db, hub);
    versions = std::make_unique<VersionStore>(db, demo.version_no, demo.version_url);
    context = std::make_unique<SimContext>(demo, db, *sessions, *messenger, *versions, hub);
    context->hold = std::chrono::milliseconds(options.hold_ms);
    control = std::make_unique<ControlService>(*context, faults);
    router = std::make_unique<SimRouter>(*context, *control);
    if (db.IsNew())
        DemoSeeder::Seed(demo, *messenger, sim_clock::Now(), options.long_threads);
    bot = std::make_unique<EchoBot>(demo, *messenger,
                                    std::chrono::milliseconds(options.echo_delay_ms));
    messenger->SetListener([this](int64_t recipient, const StoredMessage& message) {
        bot->OnDelivered(recipient, message);
    });
    SimHttp::Logger log = options.log;
    if (!log)
        log = [](const std::string& line) { std::cout << line << std::endl; };
    http = std::make_unique<SimHttp>(
        *router, faults,
        [this, log](const std::string& line) {
            std::lock_guard<std::mutex> lock(log_mutex);
            log(line);
        },
        options.verbose);
}

PlatformSim::PlatformSim(SimOptions options) : impl_(new Impl(std::move(options))) {}

PlatformSim::~PlatformSim() {
    Stop();
}

bool PlatformSim::Start(std::string* error) {
    std::string message;
    if (impl_->http || !impl_->Load(&message)) {
        if (error)
            *error = impl_->http ? "already started" : message;
        return false;
    }
    impl_->Build();
    const int port = impl_->http->Bind(impl_->options.host, impl_->options.port);
    if (port <= 0) {
        if (error)
            *error = "cannot listen on " + impl_->options.host + ":" +
                     std::to_string(impl_->options.port);
        impl_->http.reset();
        return false;
    }
    impl_->context->port = port;
    impl_->http->Start();
    return true;
}

// Held polls are released first: the server waits for its handler threads when it stops.
void PlatformSim::Stop() {
    if (!impl_->http)
        return;
    impl_->hub.Shutdown();
    impl_->bot->Stop();
    impl_->http->Stop();
    impl_->messenger->SetListener(nullptr);
}

int PlatformSim::Port() const {
    return impl_->context ? impl_->context->port : 0;
}

std::string PlatformSim::UnitUrl(const std::string& unit_id) const {
    return impl_->context ? impl_->context->UnitUrl(unit_id) : std::string();
}

std::string PlatformSim::UnitRecord(const std::string& unit_id) const {
    const DemoUnit* unit = impl_->demo.UnitById(unit_id);
    if (!unit || !impl_->context)
        return std::string();
    return unit->id + "," + unit->name + "," + impl_->context->UnitUrl(unit->id) + "," +
           impl_->context->SiteUrl(*unit);
}

int PlatformSim::HeldPolls() const {
    return impl_->hub.Waiting();
}

SimResult PlatformSim::SendChat(const std::string& from, const std::string& to,
                                const std::string& text) {
    return impl_->control ? impl_->control->Send(from, to, text) : SimResult::Fail("not started");
}

SimResult PlatformSim::SendFile(const std::string& from, const std::string& to, int msg_type,
                                const std::string& name, const std::string& data, int seconds) {
    return impl_->control ? impl_->control->SendFile(from, to, msg_type, name, data, seconds)
                          : SimResult::Fail("not started");
}

SimResult PlatformSim::Remind(const std::string& to, int remind_id, const std::string& text,
                              const std::string& url) {
    return impl_->control ? impl_->control->Remind(to, remind_id, text, url)
                          : SimResult::Fail("not started");
}

SimResult PlatformSim::SetUnread(const std::string& user, int remind_id, int num) {
    return impl_->control ? impl_->control->SetUnread(user, remind_id, num)
                          : SimResult::Fail("not started");
}

SimResult PlatformSim::ExpireSessions(const std::string& user) {
    return impl_->control ? impl_->control->Expire(user) : SimResult::Fail("not started");
}

SimResult PlatformSim::OpenSession(const std::string& user) {
    return impl_->control ? impl_->control->OpenSession(user) : SimResult::Fail("not started");
}

SimResult PlatformSim::Publish(const std::string& version, const std::string& file_name,
                               const std::string& data) {
    return impl_->control ? impl_->control->Publish(version, file_name, data)
                          : SimResult::Fail("not started");
}

void PlatformSim::SetFault(const SimFault& fault) {
    impl_->faults.Set(fault);
}

bool PlatformSim::HasFault(const std::string& method) const {
    return impl_->faults.Has(method);
}

void PlatformSim::ClearFaults(const std::string& method) {
    impl_->faults.Clear(method);
}
