// Connection points: advised sinks get every event with its arguments, on
// the object's thread, including events of other threads and timers, which
// run from the thread's message loop with no one pumping the object.
#include <gtest/gtest.h>

#include <olectl.h>

#include "tests/win/com/support.h"

namespace pink::comtest {
namespace {

Ptr<IConnectionPoint> point_of(IDispatch* d) {
  Ptr<IConnectionPointContainer> container;
  EXPECT_EQ(d->QueryInterface(IID_IConnectionPointContainer, container.out_void()), S_OK);
  Ptr<IConnectionPoint> point;
  if (container) {
    EXPECT_EQ(container->FindConnectionPoint(com::guid_of(kSample.events.iid), point.out()), S_OK);
  }
  return Ptr<IConnectionPoint>(point.release());
}

void put_name(IDispatch* d, const wchar_t* name) {
  CallResult r;
  invoke(d, kName, DISPATCH_PROPERTYPUT, {vstr(name)}, r, {DISPID_PROPERTYPUT});
  ASSERT_EQ(r.hr, S_OK);
}

void call(IDispatch* d, DISPID id, std::vector<VARIANT> args) {
  CallResult r;
  invoke(d, id, DISPATCH_METHOD, std::move(args), r);
  EXPECT_EQ(r.hr, S_OK) << id;
}

TEST(Events, EveryAdvisedSinkGetsEveryEventWithItsArguments) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  put_name(d.get(), L"x");
  auto point = point_of(d.get());
  ASSERT_TRUE(point);
  Sink first(kSample.events), second(kSample.events);
  second.accept_event_iid = false;  // a sink that only offers IDispatch
  DWORD c1 = 0, c2 = 0;
  ASSERT_EQ(point->Advise(&first, &c1), S_OK);
  ASSERT_EQ(point->Advise(&second, &c2), S_OK);
  EXPECT_NE(c1, c2);
  call(d.get(), kFire, {vi2(2)});
  const std::vector<std::string> expected = {"OnTick(1,x)", "OnTick(2,x)", "OnAdjust(&2)"};
  EXPECT_EQ(first.seen, expected);
  EXPECT_EQ(second.seen, expected);

  Ptr<IEnumConnections> connections;
  ASSERT_EQ(point->EnumConnections(connections.out()), S_OK);
  CONNECTDATA data[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(connections->Next(3, data, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 2u);
  for (ULONG i = 0; i < fetched; ++i) data[i].pUnk->Release();
  EXPECT_NE(data[0].dwCookie, data[1].dwCookie);
  connections.reset();  // the snapshot held the sinks too

  ASSERT_EQ(point->Unadvise(c1), S_OK);
  EXPECT_EQ(point->Unadvise(c1), CONNECT_E_NOCONNECTION);
  call(d.get(), kFire, {vi2(1)});
  EXPECT_EQ(first.seen.size(), 3u);
  EXPECT_EQ(second.seen.size(), 5u);
  ASSERT_EQ(point->Unadvise(c2), S_OK);
  EXPECT_EQ(first.refs_, 0u);
  EXPECT_EQ(second.refs_, 0u);

  // Something that is no dispatch sink is refused.
  Ptr<IClassFactory> factory;
  const GUID clsid = com::guid_of(kSample.clsid);
  ASSERT_EQ(com::get_class_object(sample_server(), &clsid, &IID_IClassFactory, factory.out_void()), S_OK);
  DWORD c3 = 7;
  EXPECT_EQ(point->Advise(factory.get(), &c3), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(c3, 0u);
}

TEST(Events, TheContainerNamesItsOnePointAndRefusesOthers) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  Ptr<IConnectionPointContainer> container;
  ASSERT_EQ(d->QueryInterface(IID_IConnectionPointContainer, container.out_void()), S_OK);
  Ptr<IConnectionPoint> none;
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, none.out()), CONNECT_E_NOCONNECTION);
  Ptr<IEnumConnectionPoints> points;
  ASSERT_EQ(container->EnumConnectionPoints(points.out()), S_OK);
  IConnectionPoint* got[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(points->Next(2, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  IID iid{};
  got[0]->GetConnectionInterface(&iid);
  EXPECT_EQ(iid, com::guid_of(kSample.events.iid));
  Ptr<IConnectionPointContainer> back;
  EXPECT_EQ(got[0]->GetConnectionPointContainer(back.out()), S_OK);
  EXPECT_EQ(back.get(), container.get());
  got[0]->Release();
}

TEST(Events, ASinkMayUnadviseOrReleaseTheObjectFromInsideAnEvent) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  auto point = point_of(d.get());
  Sink quitter(kSample.events), stayer(kSample.events);
  DWORD quit_cookie = 0, stay_cookie = 0;
  ASSERT_EQ(point->Advise(&quitter, &quit_cookie), S_OK);
  ASSERT_EQ(point->Advise(&stayer, &stay_cookie), S_OK);
  IConnectionPoint* p = point.get();
  quitter.on_event = [&] { p->Unadvise(quit_cookie); };
  call(d.get(), kFire, {vi2(3)});
  EXPECT_EQ(quitter.seen.size(), 1u);
  EXPECT_EQ(stayer.seen.size(), 4u);
  EXPECT_EQ(quitter.refs_, 0u);

  // The host lets its last reference go from inside an event: the object
  // ends once the call that fired returns, not under it.
  const int alive = samples_alive();
  point.reset();
  IDispatch* object = d.release();  // the host's last reference
  bool released = false;
  stayer.on_event = [&] {
    if (!released) {
      released = true;
      object->Release();
    }
  };
  CallResult r;
  invoke(object, kFire, DISPATCH_METHOD, {vi2(2)}, r);
  EXPECT_EQ(r.hr, S_OK);
  EXPECT_TRUE(released);
  EXPECT_EQ(stayer.seen.size(), 7u);  // the rest of the call's events still came
  EXPECT_EQ(samples_alive(), alive - 1);
  EXPECT_EQ(stayer.refs_, 0u);
}

TEST(Events, ThreadEventsAndTimersRunFromTheMessageLoopOnTheObjectsThread) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  auto point = point_of(d.get());
  Sink sink(kSample.events);
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  const DWORD me = ::GetCurrentThreadId();
  bool other_thread = false;
  sink.on_event = [&] { other_thread = other_thread || ::GetCurrentThreadId() != me; };

  call(d.get(), kFireFromThread, {vi2(3)});
  ASSERT_TRUE(pump_until([&] { return sink.seen.size() >= 3; }, 20000)) << sink.seen.size();
  EXPECT_EQ(sink.seen, (std::vector<std::string>{"OnTick(1,thread)", "OnTick(2,thread)", "OnTick(3,thread)"}));
  EXPECT_FALSE(other_thread);

  sink.seen.clear();
  call(d.get(), kStartTimer, {vi4(20)});
  ASSERT_TRUE(pump_until([&] { return sink.seen.size() >= 3; }, 20000));
  EXPECT_EQ(sink.seen[0], "OnTimer(1)");
  EXPECT_EQ(sink.seen[2], "OnTimer(3)");
  call(d.get(), kStopTimer, {});
  const std::size_t stopped_at = sink.seen.size();
  pump_until([] { return false; }, 300);
  EXPECT_EQ(sink.seen.size(), stopped_at);
  EXPECT_FALSE(other_thread);
  point->Unadvise(cookie);
}

}  // namespace
}  // namespace pink::comtest
