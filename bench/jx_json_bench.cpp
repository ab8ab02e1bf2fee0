// Reading and writing values by path text, side by side with RapidJSON's own
// JSON Pointer on the same documents: the pointer parsed from its text for
// every operation (as a path text is), and prepared once.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/pointer.h>

#include <cstdint>
#include <string>

#include "base/jx_json.h"

namespace {

struct Shape {
  const char* document;
  const char* path;     // for the jx_json_ calls
  const char* pointer;  // the same place as a JSON Pointer
};

std::string ArrayDocument() {
  std::string text = "{\"name\":\"x\",\"items\":[";
  for (int i = 0; i < 100; ++i) text += (i ? "," : "") + std::to_string(i);
  return text + "]}";
}

const std::string kArrayDocument = ArrayDocument();

const Shape kShallowMember = {
    "{\"id\":1,\"name\":\"x\",\"size\":2,\"kind\":\"f\",\"flags\":[1,2],\"count\":7}", "count",
    "/count"};
const Shape kDeepMember = {
    "{\"l1\":{\"x\":0,\"l2\":{\"l3\":{\"x\":0,\"l4\":{\"l5\":{\"l6\":{\"x\":0,\"l7\":{\"l8\":5}}}}}"
    "}}}",
    "l1.l2.l3.l4.l5.l6.l7.l8", "/l1/l2/l3/l4/l5/l6/l7/l8"};
const Shape kArraySlot = {kArrayDocument.c_str(), "items:50", "/items/50"};

int64_t IntegerAt(const rapidjson::Value* value) {
  return value != nullptr && value->IsInt64() ? value->GetInt64() : 0;
}

void BM_Json_Get(benchmark::State& state, const Shape& shape) {
  jx_json_t doc = jx_json_build();
  jx_json_parse(doc, shape.document, nullptr);
  int64_t value = 0;
  for (auto _ : state) {
    jx_json_get_int64(doc, shape.path, &value);
    benchmark::DoNotOptimize(value);
  }
  jx_json_destroy(doc);
}

void BM_Json_Set(benchmark::State& state, const Shape& shape) {
  jx_json_t doc = jx_json_build();
  jx_json_parse(doc, shape.document, nullptr);
  int64_t value = 0;
  for (auto _ : state) benchmark::DoNotOptimize(jx_json_set_int64(doc, shape.path, ++value));
  jx_json_destroy(doc);
}

void BM_Json_PointerGet(benchmark::State& state, const Shape& shape) {
  rapidjson::Document doc;
  doc.Parse(shape.document);
  for (auto _ : state) {
    benchmark::DoNotOptimize(IntegerAt(rapidjson::Pointer(shape.pointer).Get(doc)));
  }
}

void BM_Json_PointerSet(benchmark::State& state, const Shape& shape) {
  rapidjson::Document doc;
  doc.Parse(shape.document);
  int64_t value = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(&rapidjson::Pointer(shape.pointer).Set(doc, ++value));
}

void BM_Json_PreparedPointerGet(benchmark::State& state, const Shape& shape) {
  rapidjson::Document doc;
  doc.Parse(shape.document);
  const rapidjson::Pointer pointer(shape.pointer);
  for (auto _ : state) benchmark::DoNotOptimize(IntegerAt(pointer.Get(doc)));
}

void BM_Json_PreparedPointerSet(benchmark::State& state, const Shape& shape) {
  rapidjson::Document doc;
  doc.Parse(shape.document);
  const rapidjson::Pointer pointer(shape.pointer);
  int64_t value = 0;
  for (auto _ : state) benchmark::DoNotOptimize(&pointer.Set(doc, ++value));
}

#define JX_JSON_SHAPES(bench)                               \
  BENCHMARK_CAPTURE(bench, shallow_member, kShallowMember); \
  BENCHMARK_CAPTURE(bench, deep_member, kDeepMember);       \
  BENCHMARK_CAPTURE(bench, array_slot, kArraySlot)

JX_JSON_SHAPES(BM_Json_Get);
JX_JSON_SHAPES(BM_Json_PointerGet);
JX_JSON_SHAPES(BM_Json_PreparedPointerGet);
JX_JSON_SHAPES(BM_Json_Set);
JX_JSON_SHAPES(BM_Json_PointerSet);
JX_JSON_SHAPES(BM_Json_PreparedPointerSet);

}  // namespace

BENCHMARK_MAIN();
