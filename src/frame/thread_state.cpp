// The application object and the per-thread state objects.
//
// The application object lives from library load to unload.  It owns every
// thread's CInstanceGlobals; a thread that ends leaves its object in the
// list until unload.
#include "frame/frame.h"
#include "platform/platform.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <atomic>
#include <mutex>
#include <new>

namespace vorn {

CInstanceGlobals::CInstanceGlobals(uint32_t process_id, uint32_t thread_id)
    : m_dwProcessId(process_id), m_dwThreadId(thread_id), m_pTrace(new CMyTrace(kModuleLabel)) {}

CInstanceGlobals::~CInstanceGlobals() {
    myFree(m_pDevInfo, "pGlobalDevInfo");
    m_pDevInfo = nullptr;
    m_aGlobalErrors.clear();
    delete m_pTrace;
    // m_pTable belongs to the conversion that registered it.
}

namespace {

class CVORN_B32App {
  public:
    CVORN_B32App();
    ~CVORN_B32App();

    std::vector<CInstanceGlobals *> m_aInstances;
    // Read by every trace call of every thread; the tool and the tests may
    // change it while other threads run.
    std::atomic<uint32_t> m_dwRegDebug{0};
    CMyTrace *m_pTrace = nullptr;
};

// Set while the application object is between its start and stop steps;
// lookups outside that window find no state and the callers do nothing.
std::atomic<CVORN_B32App *> g_app{nullptr};
std::mutex g_instances_mutex;

CVORN_B32App::CVORN_B32App() {
    try {
        m_pTrace = new CMyTrace(kModuleLabel);
        g_app.store(this);
        get_instance_globals();
        dbg_printf("InitInstance done\n");
        m_dwRegDebug.store(read_debug_switch(), std::memory_order_relaxed);
        char version[100];
        get_dll_version(kModuleLabel, version, sizeof version);
        m_pTrace->Trace("%s\n", version);
    } catch (...) {
        // Loading must not fail because of a trace or settings problem.
    }
}

CVORN_B32App::~CVORN_B32App() {
    dbg_printf("ExitInstance\n");
    std::vector<CInstanceGlobals *> instances;
    {
        std::lock_guard<std::mutex> lock(g_instances_mutex);
        g_app.store(nullptr);
        instances.swap(m_aInstances);
    }
    for (CInstanceGlobals *g : instances)
        delete g;
    delete m_pTrace;
}

CVORN_B32App theApp;

} // namespace

// A thread's lookup always finds the same object until unload (objects are
// only appended), so each thread remembers its result; this keeps a trace
// call with debugging off down to a few comparisons.
thread_local CInstanceGlobals *t_found = nullptr;

CInstanceGlobals *get_instance_globals() {
    if (g_app.load() == nullptr)
        return nullptr;
    if (t_found != nullptr)
        return t_found;
    uint32_t tid = platform::thread_id();
    std::lock_guard<std::mutex> lock(g_instances_mutex);
    CVORN_B32App *app = g_app.load();
    if (app == nullptr)
        return nullptr;
    for (CInstanceGlobals *g : app->m_aInstances)
        if (g->m_dwThreadId == tid)
            return t_found = g;
    CInstanceGlobals *created = nullptr;
    try {
        created = new CInstanceGlobals(platform::process_id(), tid);
        app->m_aInstances.push_back(created);
    } catch (...) {
        delete created;
        return nullptr;
    }
    return t_found = created;
}

uint32_t app_reg_debug() {
    CVORN_B32App *app = g_app.load();
    return app != nullptr ? app->m_dwRegDebug.load(std::memory_order_relaxed) : 0;
}

void set_app_reg_debug(uint32_t value) {
    if (CVORN_B32App *app = g_app.load())
        app->m_dwRegDebug.store(value, std::memory_order_relaxed);
}

// ---- accessors ----------------------------------------------------------------

Error set_instance_table(table_t *table) {
    CInstanceGlobals *g = get_instance_globals();
    if (g == nullptr)
        return Error::NoThreadState;
    if (table != nullptr && g->m_pTable != nullptr && g->m_pTable != table)
        myFree(g->m_pTable, "pInstanceGlobals->m_pTable");
    g->m_pTable = table;
    return Error::Ok;
}

#define VORN_ACCESSOR(name, type, expr)                                                            \
    Error name(type *out) {                                                                        \
        CInstanceGlobals *g = get_instance_globals();                                              \
        if (g == nullptr || out == nullptr)                                                        \
            return Error::NoThreadState;                                                           \
        *out = (expr);                                                                             \
        return Error::Ok;                                                                          \
    }

VORN_ACCESSOR(get_instance_table, table_t *, g->m_pTable)
VORN_ACCESSOR(get_tool_name, const char *, g->m_szToolName)
VORN_ACCESSOR(get_dev_info, const uint8_t *, g->m_pDevInfo)
VORN_ACCESSOR(get_device, void *, g->m_pDevice)
VORN_ACCESSOR(get_tmp_path, const char *, g->m_szTmpPath)
VORN_ACCESSOR(get_connect_date, const char *, g->m_szConnectDate)
VORN_ACCESSOR(get_optimize_files, uint32_t, g->m_dwOptimizeFiles)

#undef VORN_ACCESSOR

} // namespace vorn
