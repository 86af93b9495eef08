// The section a load check shares with its child: each child starts from an
// empty journal, so that nothing a child before it wrote is read as its own,
// even where a codec spoils the journal's count of bytes written.
#include "../../loadcheck/load_work.h"
#include "test_support.h"

TEST(LoadJournal, EachChildReadsOnlyWhatItWrote) {
    LoadWorkList list;
    ASSERT_TRUE(list.Make(4));
    const BYTE* bytes = nullptr;
    SIZE_T written = 1;
    list.ClearJournal();  // the first child: the section as made
    EXPECT_TRUE(list.JournalWritten(&bytes, &written));
    EXPECT_EQ(written, 0u);
    {
        LoadWorkView child;
        ASSERT_TRUE(child.Open(list.Section(), 4));
        child.Write(L"O 0\n");
        child.Write(L"E 1 3\n");
    }
    EXPECT_TRUE(list.JournalWritten(&bytes, &written));
    EXPECT_TEXT_EQ(L"O 0\nE 1 3\n", std::wstring(reinterpret_cast<const wchar_t*>(bytes), written / sizeof(wchar_t)));

    list.ClearJournal();  // the next child, whose codec sets the count out of bounds
    auto* head = static_cast<LoadSectionHead*>(MapViewOfFile(list.Section(), FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_NE(head, nullptr);
    head->journalWritten = 0x7FFFFFF0;
    UnmapViewOfFile(head);
    EXPECT_FALSE(list.JournalWritten(&bytes, &written));
    EXPECT_EQ(written, 0u) << "the child before's lines read as this one's: "
                           << Utf8(std::wstring(reinterpret_cast<const wchar_t*>(bytes), written / sizeof(wchar_t)));
}
