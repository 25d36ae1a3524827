-- Version 10: the stock rows live in the tree of their key. A relief finds
-- an item's row in one search instead of two (the key's index, then the
-- table), and the stock takes some half the pages it took with its index.
CREATE TABLE Inventory_10 (
  item_number TEXT NOT NULL,
  site TEXT NOT NULL,
  opening_on_hand REAL NOT NULL DEFAULT 0,
  on_hand REAL NOT NULL DEFAULT 0,
  PRIMARY KEY (item_number, site)
) WITHOUT ROWID;
INSERT INTO Inventory_10 (item_number, site, opening_on_hand, on_hand)
SELECT item_number, site, opening_on_hand, on_hand FROM Inventory;
DROP TABLE Inventory;
ALTER TABLE Inventory_10 RENAME TO Inventory;
