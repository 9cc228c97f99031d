// The frei0r entry points of seavast.so: a source plug-in for frei0r hosts (ffmpeg's frei0r_src,
// MLT's frei0r producers) that loads Seavast.so from its own folder and drives it as a host.
#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

// frei0r.h declares C functions without saying so.
extern "C" {
#include <frei0r.h>
}

#include "frei0r/SeaSource.h"
#include "hostkit/Module.h"

#define SEAVAST_FREI0R_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The plug-in module, loaded on the first instance and kept until the host quits, as hosts keep
// effect modules. SEAVAST_PLUGIN names another one.
struct Loaded {
    std::shared_ptr<hostkit::Module> module;
    std::string error;
};

std::string own_folder()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&own_folder), &info) == 0 || info.dli_fname == nullptr)
        return ".";
    const std::string path = info.dli_fname;
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

const Loaded& plugin_module()
{
    static std::once_flag once;
    static Loaded loaded;
    std::call_once(once, [] {
        const char* env = std::getenv("SEAVAST_PLUGIN");
        const std::string path = hostkit::resolve_plugin_path(env && *env ? "" : own_folder() + "/Seavast.so");
        loaded.module = hostkit::Module::load(path, &loaded.error);
    });
    return loaded;
}

// frei0r times are seconds, but ffmpeg's frei0r filters pass milliseconds. The caller's code tells
// which: libavfilter (or an ffmpeg program linked statically) means milliseconds.
double time_divisor(const void* caller)
{
    Dl_info info{};
    if (caller == nullptr || ::dladdr(caller, &info) == 0 || info.dli_fname == nullptr)
        return 1.0;
    const std::string file = info.dli_fname;
    const std::string base = file.substr(file.rfind('/') == std::string::npos ? 0 : file.rfind('/') + 1);
    return base.find("libavfilter") != std::string::npos || base == "ffmpeg" ? 1000.0 : 1.0;
}

void update(f0r_instance_t instance, double time, uint32_t* outframe, const void* caller)
{
    if (instance != nullptr && outframe != nullptr)
        static_cast<seavast_frei0r::SeaSource*>(instance)->update(time / time_divisor(caller), outframe);
}

} // namespace

SEAVAST_FREI0R_EXPORT int f0r_init() { return 1; }

SEAVAST_FREI0R_EXPORT void f0r_deinit() {}

SEAVAST_FREI0R_EXPORT void f0r_get_plugin_info(f0r_plugin_info_t* info)
{
    info->name = "seavast";
    info->author = "Seavast";
    info->plugin_type = F0R_PLUGIN_TYPE_SOURCE;
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = 1;
    info->minor_version = 4;
    info->num_params = int(seavast_frei0r::frei0r_params().size());
    info->explanation = "A synthesised ocean seen through a pinhole camera";
}

SEAVAST_FREI0R_EXPORT void f0r_get_param_info(f0r_param_info_t* info, int index)
{
    const auto& params = seavast_frei0r::frei0r_params();
    if (index < 0 || index >= int(params.size()))
        return;
    const seavast_frei0r::Frei0rParam& p = params[std::size_t(index)];
    info->name = p.name;
    info->type = p.kind == seavast_frei0r::ParamKind::text ? F0R_PARAM_STRING : F0R_PARAM_DOUBLE;
    info->explanation = p.explanation;
}

SEAVAST_FREI0R_EXPORT f0r_instance_t f0r_construct(unsigned int width, unsigned int height)
{
    if (width == 0 || height == 0 || width > 16384 || height > 16384)
        return nullptr;
    const Loaded& loaded = plugin_module();
    return new (std::nothrow)
        seavast_frei0r::SeaSource(loaded.module, "cannot load the plug-in: " + loaded.error, int(width), int(height));
}

SEAVAST_FREI0R_EXPORT void f0r_destruct(f0r_instance_t instance)
{
    delete static_cast<seavast_frei0r::SeaSource*>(instance);
}

namespace {

// The instance of a parameter call, null when the call names no parameter of ours; *text says
// whether the value is a string.
seavast_frei0r::SeaSource* param_call(f0r_instance_t instance, f0r_param_t param, int index, bool* text)
{
    const auto& params = seavast_frei0r::frei0r_params();
    if (instance == nullptr || param == nullptr || index < 0 || index >= int(params.size()))
        return nullptr;
    *text = params[std::size_t(index)].kind == seavast_frei0r::ParamKind::text;
    return static_cast<seavast_frei0r::SeaSource*>(instance);
}

} // namespace

SEAVAST_FREI0R_EXPORT void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int index)
{
    bool text = false;
    seavast_frei0r::SeaSource* source = param_call(instance, param, index, &text);
    if (source == nullptr)
        return;
    if (text)
        source->set_text(index, *static_cast<f0r_param_string*>(param));
    else
        source->set_number(index, *static_cast<f0r_param_double*>(param));
}

SEAVAST_FREI0R_EXPORT void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int index)
{
    bool text = false;
    seavast_frei0r::SeaSource* source = param_call(instance, param, index, &text);
    if (source == nullptr)
        return;
    if (text)
        *static_cast<f0r_param_string*>(param) = const_cast<char*>(source->text(index));
    else
        *static_cast<f0r_param_double*>(param) = source->number(index);
}

SEAVAST_FREI0R_EXPORT void f0r_update(f0r_instance_t instance, double time, const uint32_t*, uint32_t* outframe)
{
    update(instance, time, outframe, __builtin_return_address(0));
}

SEAVAST_FREI0R_EXPORT void f0r_update2(f0r_instance_t instance, double time, const uint32_t*, const uint32_t*,
                                       const uint32_t*, uint32_t* outframe)
{
    update(instance, time, outframe, __builtin_return_address(0));
}
