-- The demo database of the kezq tour: customers, products and some
-- thousands of orders, generated deterministically (the same rows on every
-- run), and an empty visits table that the tour inserts into.
PRAGMA journal_mode = WAL;

CREATE TABLE customers (
  id INTEGER PRIMARY KEY,
  name VARCHAR(40) NOT NULL,
  city VARCHAR(30) NOT NULL
);

CREATE TABLE products (
  id INTEGER PRIMARY KEY,
  name VARCHAR(40) NOT NULL,
  price REAL NOT NULL,
  stock INTEGER NOT NULL
);

CREATE TABLE orders (
  id INTEGER PRIMARY KEY,
  customer_id INTEGER NOT NULL REFERENCES customers(id),
  product_id INTEGER NOT NULL REFERENCES products(id),
  quantity INTEGER NOT NULL,
  amount REAL NOT NULL,
  day VARCHAR(10) NOT NULL
);

CREATE TABLE visits (
  customer VARCHAR(40),
  note TEXT(80)
);

INSERT INTO products (id, name, price, stock) VALUES
  (1, 'apple', 0.45, 1200), (2, 'pear', 0.6, 800), (3, 'cherry', 4.2, 150),
  (4, 'plum', 2.1, 300), (5, 'quince', 3.35, 90), (6, 'fig', 5.5, 60),
  (7, 'walnut', 8.9, 400), (8, 'hazelnut', 7.25, 350), (9, 'chestnut', 6.0, 500),
  (10, 'grape', 3.8, 700);

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 250)
INSERT INTO customers (id, name, city)
SELECT i,
       CASE (i * 3) % 8 WHEN 0 THEN 'Anna' WHEN 1 THEN 'Bruno' WHEN 2 THEN 'Chloe' WHEN 3 THEN 'David'
                        WHEN 4 THEN 'Elsa' WHEN 5 THEN 'Farid' WHEN 6 THEN 'Greta' ELSE 'Hugo' END
         || ' ' ||
       CASE (i * 5) % 6 WHEN 0 THEN 'Moreau' WHEN 1 THEN 'Petit' WHEN 2 THEN 'Roux' WHEN 3 THEN 'Blanc'
                        WHEN 4 THEN 'Garnier' ELSE 'Faure' END,
       CASE i % 5 WHEN 0 THEN 'Lyon' WHEN 1 THEN 'Nantes' WHEN 2 THEN 'Lille' WHEN 3 THEN 'Rennes' ELSE 'Dijon' END
FROM n;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000)
INSERT INTO orders (id, customer_id, product_id, quantity, amount, day)
SELECT i,
       1 + (i * 37) % 250,
       1 + (i * 7) % 10,
       1 + (i * 13) % 9,
       0,
       printf('2026-%02d-%02d', 1 + (i * 11) % 12, 1 + (i * 17) % 28)
FROM n;

UPDATE orders SET amount = round(quantity * (SELECT price FROM products WHERE products.id = orders.product_id), 2);
