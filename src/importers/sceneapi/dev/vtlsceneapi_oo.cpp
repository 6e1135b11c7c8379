#include "dev/vtlsceneapi_oo.h"

#include "dev/factory/light_factory.h"
#include "dev/factory/pass_through_factory.h"
#include "dev/light_node.h"
#include "file_api/null_api.h"
#include "log/log.h"
#include "sceneapi_version.h"

#include <sstream>
#include <stdexcept>

namespace vtl {

namespace {

// The level of the trace statements: above the highest compiled in, so they cost nothing.
constexpr int kTraceLevel = logNONE;

// The matrix as four text rows, the line breaks turned into blanks.
std::string matrix_text(const vtlMatrix& m) {
    std::ostringstream text;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col)
            text << m.m[row][col] << ' ';
        text << ' ';
    }
    return text.str();
}

} // namespace

vtlSceneapi_oo::vtlSceneapi_oo(LightFactory* factory) : factory_(factory) {
    start_up();
}

vtlSceneapi_oo::vtlSceneapi_oo() {
    own_api_ = std::make_unique<NullApi>();
    own_factory_ = std::make_unique<PassThroughFactory>(own_api_.get());
    factory_ = own_factory_.get();
    start_up();
}

vtlSceneapi_oo::~vtlSceneapi_oo() = default;

void vtlSceneapi_oo::start_up() {
    set_api(factory_ != nullptr ? factory_->get_api() : nullptr);
    if (api_ == nullptr) return;
    factory_->begin_scene(this);
    // The banner every destination is greeted with, then the scene description version.
    std::ostringstream banner;
    banner << "Photara SceneApi oo " << SCENEAPI_VERSION << "  (built " << __TIMESTAMP__ << ")";
    print(banner.str());
    api_->set_version(10);
}

void vtlSceneapi_oo::set_api(vtlScene_api* api) {
    api_ = api;
    shader_counter_ = 0;
    id_counter_ = 0;
}

unsigned vtlSceneapi_oo::new_id() {
    ++id_counter_;
    if (api_ != nullptr) api_->set_id(id_counter_);
    return id_counter_;
}

void vtlSceneapi_oo::add(LightNode& node) {
    node.emit(*this);
}

void vtlSceneapi_oo::progress(const std::string& text, float fraction) {
    if (api_ != nullptr) api_->set_progress(text.c_str(), fraction);
}

void vtlSceneapi_oo::begin_group(const std::string& name) {
    if (api_ != nullptr) api_->begin_group(name.c_str(), true);
}

void vtlSceneapi_oo::end_group() {
    if (api_ != nullptr) api_->end_group();
}

unsigned vtlSceneapi_oo::begin_shader(const std::string& type) {
    ++shader_counter_;
    if (api_ != nullptr) api_->define_shader(type.c_str(), static_cast<int>(shader_counter_));
    return shader_counter_;
}

void vtlSceneapi_oo::end_shader() {
    if (api_ != nullptr) api_->end_shader();
}

void vtlSceneapi_oo::send(const std::string& name, int type, const void* value) {
    if (api_ != nullptr) api_->set_parameter(name.c_str(), type, value);
}

void vtlSceneapi_oo::send_array(const std::string& name, int type, const void* data,
                                std::size_t count) {
    const vtlArray array{data, static_cast<uint32_t>(count)};
    send(name, type, &array);
}

void vtlSceneapi_oo::set_parameter(const std::string& name, const char* value) {
    SCENEAPI_LOG(kTraceLevel) << "set_parameter(... char *cptr): " << name << "="
                              << (value != nullptr ? value : "");
    throw std::invalid_argument("const char * are deprecated");
}

void vtlSceneapi_oo::set_parameter(const std::string& name, const std::string& value) {
    SCENEAPI_LOG(kTraceLevel) << "set_parameter(const std:...::string s): " << name << "=" << value;
    send(name, vtl_type::string, value.c_str());
}

void vtlSceneapi_oo::set_parameter(const std::string& name, const vtlColor& value) {
    SCENEAPI_LOG(kTraceLevel) << "set_parameter(.., vtlColor c): " << name << "= (" << value.r
                              << ", " << value.g << ", " << value.b << ")";
    send(name, vtl_type::color, &value);
}

void vtlSceneapi_oo::set_parameter(const std::string& name, const vtlVector& value) {
    SCENEAPI_LOG(kTraceLevel) << "set_parameter(.., vtlVector v): " << name << "= (" << value.x
                              << ", " << value.y << ", " << value.z << ")";
    send(name, vtl_type::vector, &value);
}

void vtlSceneapi_oo::set_parameter(const std::string& name, double value) {
    SCENEAPI_LOG(kTraceLevel) << "set_parameter(... double d): " << name << "=" << value;
    send(name, vtl_type::double1, &value);
}

void vtlSceneapi_oo::set_parameter(const std::string& name, float value) {
    SCENEAPI_LOG(kTraceLevel) << "set_parameter(... float f): " << name << "=" << value;
    send(name, vtl_type::float1, &value);
}

void vtlSceneapi_oo::set_parameter(const std::string& name, int value) {
    SCENEAPI_LOG(kTraceLevel) << "set_parameter(... int   i): " << name << "=" << value;
    send(name, vtl_type::integer, &value);
}

void vtlSceneapi_oo::set_parameter(const std::string& name, bool value) {
    SCENEAPI_LOG(kTraceLevel) << "set_parameter(... bool  b): " << name << "=" << value;
    const int32_t truth = value ? 1 : 0;
    send(name, vtl_type::boolean, &truth);
}

void vtlSceneapi_oo::set_array(const std::string& name, const std::vector<vtlMatrix>& values) {
    SCENEAPI_LOG(kTraceLevel) << "set_array(..,vtlMatrix): " << name << ' ' << values.size()
                              << " elements";
    send_array(name, vtl_type::array_of(vtl_type::matrix), values.data(), values.size());
}

void vtlSceneapi_oo::set_array(const std::string& name, const std::vector<int>& values) {
    SCENEAPI_LOG(kTraceLevel) << "set_array(..,int): " << name << ' ' << values.size()
                              << " elements";
    send_array(name, vtl_type::array_of(vtl_type::integer), values.data(), values.size());
}

void vtlSceneapi_oo::set_array(const std::string& name, const std::vector<float>& values) {
    SCENEAPI_LOG(kTraceLevel) << "set_array(..,float): " << name << ' ' << values.size()
                              << " elements";
    send_array(name, vtl_type::array_of(vtl_type::float1), values.data(), values.size());
}

void vtlSceneapi_oo::set_array(const std::string& name, const std::vector<double>& values) {
    SCENEAPI_LOG(kTraceLevel) << "set_array(..,double): " << name << ' ' << values.size()
                              << " elements";
    send_array(name, vtl_type::array_of(vtl_type::double1), values.data(), values.size());
}

void vtlSceneapi_oo::set_vec3_array(const std::string& name, const std::vector<float>& values) {
    SCENEAPI_LOG(kTraceLevel) << "set_vec3_array(..,vtlMatrix): " << name << ' '
                              << values.size() / 3 << " elements";
    send_array(name, vtl_type::array_of(vtl_type::color), values.data(), values.size() / 3);
}

void vtlSceneapi_oo::set_transform(const vtlMatrix& m) {
    set_transform(m, false);
}

void vtlSceneapi_oo::set_transform(const vtlMatrix& m, bool replace) {
    SCENEAPI_LOG(kTraceLevel) << "set_transform: " << matrix_text(m);
    if (api_ == nullptr) return;
    if (replace) {
        api_->set_transform(m);
    } else {
        api_->transform(m);
    }
}

void vtlSceneapi_oo::set_flags(unsigned flags) {
    SCENEAPI_LOG(kTraceLevel) << "set_flags: " << flags;
    if (api_ != nullptr) api_->set_flags(flags);
}

vtlScene_api* vtlSceneapi_oo::get_api() {
    return api_;
}

void vtlSceneapi_oo::print(std::string text) {
    if (api_ != nullptr) api_->print(text.c_str());
}

void vtlSceneapi_oo::error(std::string text) {
    if (api_ != nullptr) api_->error(text.c_str());
}

} // namespace vtl
